#include "platform/report/ReportTemplate.h"
#include "platform/Exception.h"
#include "platform/report/ReportNumbers.h"
#include "platform/report/ReportRowSource.h"

#include <QDate>
#include <QRegularExpression>
#include <kainjow/mustache.hpp>

namespace mustache = kainjow::mustache;

namespace {
// A UTF-16 surrogate without its partner has no UTF-8 form: it prints as the
// replacement character, as the stores keep it, rather than as a question mark.
std::string utf8(const QString &text) {
    QString whole = text;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        if (whole[i].isHighSurrogate() && i + 1 < whole.size() && whole[i + 1].isLowSurrogate())
            ++i;
        else if (whole[i].isSurrogate())
            whole[i] = QChar(QChar::ReplacementCharacter);
    }
    return whole.toStdString();
}
QString unicode(const std::string &text) { return QString::fromStdString(text); }
std::string folded(const std::string &name) { return utf8(unicode(name).toLower()); }

/// Text as the layout sees it: an empty text is false, so {{#x}}…{{/x}} can
/// show a part only when x holds something.
mustache::data textData(const QString &text) {
    if (text.isEmpty())
        return mustache::data::type::bool_false;
    return utf8(text);
}

QString withoutTrailingBlanks(const QString &text) {
    int end = int(text.size());
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

/// Sets a value under its name and under its lower-case name, so a lookup that
/// misses the exact spelling still finds it. The lower-case key is taken only
/// when free, unless the value must win over any other of that name.
void setFolded(mustache::data &object, const std::string &name, const mustache::data &value, bool win = false) {
    object.set(name, value);
    const std::string lower = folded(name);
    if (lower != name && (win || !object.get(lower)))
        object.set(lower, value);
}

/// The context stack of a rendering, looking names up as the layout writes
/// them, then in lower case, and taking a whole name with full stops as one
/// key before reading it as a path.
class FoldingContext : public mustache::basic_context<std::string> {
public:
    explicit FoldingContext(const mustache::data *root) { push(root); }

    void push(const mustache::data *data) override { m_items.insert(m_items.begin(), data); }
    void pop() override { m_items.erase(m_items.begin()); }

    const mustache::data *get(const std::string &name) const override {
        if (name == ".")
            return m_items.front();
        for (const mustache::data *item : m_items)
            if (const mustache::data *found = lookup(item, name))
                return found;
        if (name.find('.') == std::string::npos)
            return nullptr;
        const QStringList path = unicode(name).split(QLatin1Char('.'));
        for (const mustache::data *item : m_items) {
            const mustache::data *at = item;
            for (const QString &part : path)
                if (!(at = lookup(at, utf8(part))))
                    break;
            if (at)
                return at;
        }
        return nullptr;
    }
    const mustache::data *get_partial(const std::string &name) const override { return get(name); }

private:
    static const mustache::data *lookup(const mustache::data *item, const std::string &name) {
        if (const mustache::data *found = item->get(name))
            return found;
        return item->get(folded(name));
    }

    std::vector<const mustache::data *> m_items;
};

/// The operands of a calc section with the operators between them, split at
/// + - * written in the layout itself: text inside a tag is never split, and a
/// sign that starts an operand belongs to it.
struct Expression {
    std::vector<std::string> operands;
    std::vector<char> operators;
};

Expression split(const std::string &text) {
    Expression out;
    std::string operand;
    auto blank = [](const std::string &s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; };
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 2, "{{") == 0) {
            const std::size_t end = text.find("}}", at + 2);
            const std::size_t stop = end == std::string::npos ? text.size() : end + 2;
            operand.append(text, at, stop - at);
            at = stop;
            continue;
        }
        const char c = text[at++];
        if ((c == '+' || c == '-' || c == '*') && !(c != '*' && blank(operand))) {
            out.operands.push_back(operand);
            out.operators.push_back(c);
            operand.clear();
        } else {
            operand.push_back(c);
        }
    }
    out.operands.push_back(operand);
    return out;
}

std::string calc(const std::string &text, const mustache::renderer &render) {
    const Expression expression = split(text);
    std::vector<double> values;
    for (const std::string &operand : expression.operands) {
        bool ok = false;
        values.push_back(ReportNumbers::read(unicode(render(operand)), &ok));
        if (!ok)
            return {};
    }
    // Products first, then the sum of the signed terms.
    std::vector<double> terms{values[0]};
    std::vector<char> signs{'+'};
    for (std::size_t i = 0; i < expression.operators.size(); ++i) {
        if (expression.operators[i] == '*') {
            terms.back() *= values[i + 1];
        } else {
            terms.push_back(values[i + 1]);
            signs.push_back(expression.operators[i]);
        }
    }
    double sum = 0;
    for (std::size_t i = 0; i < terms.size(); ++i)
        sum += signs[i] == '-' ? -terms[i] : terms[i];
    return utf8(ReportNumbers::money(sum));
}

std::string money(const std::string &text, const mustache::renderer &render) {
    const std::string shown = render(text);
    bool ok = false;
    const double value = ReportNumbers::read(unicode(shown), &ok);
    return ok ? utf8(ReportNumbers::money(value)) : shown;
}

std::string ruled(const std::string &text, const mustache::renderer &render) {
    const std::string shown = render(text);
    return unicode(shown).trimmed().isEmpty() ? std::string("__________") : shown;
}

mustache::data rowsOf(const ReportRowSource &source) {
    const QStringList fields = source.fieldNames();
    const int current = source.currentRow();
    mustache::data rows(mustache::data::type::list);
    for (int row = 0; row < source.rowCount(); ++row) {
        mustache::data object;
        for (const QString &field : fields)
            setFolded(object, utf8(field), textData(withoutTrailingBlanks(source.displayText(row, field))));
        // Set last: the engine's own keys win over fields of the same name.
        setFolded(object, "current",
                  row == current ? mustache::data::type::bool_true : mustache::data::type::bool_false, true);
        setFolded(object, "RecNo", std::to_string(row + 1), true);
        rows.push_back(object);
    }
    return rows;
}
} // namespace

ReportTemplate::ReportTemplate(const QString &text, const QString &origin) : m_text(text), m_origin(origin) {
    const mustache::mustache parsed(utf8(m_text));
    if (!parsed.is_valid())
        throw Exception(QStringLiteral("The reporting project \"%1\" cannot be read: %2")
                            .arg(m_origin, unicode(parsed.error_message())));
}

QString ReportTemplate::title() const {
    static const QRegularExpression title(QStringLiteral("<title[^>]*>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    return title.match(m_text).captured(1).trimmed();
}

QString ReportTemplate::render(const QMap<QString, QString> &parameters,
                               const QList<ReportRowSource *> &sources) const {
    mustache::data root;
    for (auto it = parameters.begin(); it != parameters.end(); ++it)
        setFolded(root, utf8(it.key()), textData(it.value()));
    if (!root.get("date"))
        setFolded(root, "Date", utf8(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
    for (const ReportRowSource *source : sources)
        setFolded(root, utf8(source->sourceName()), rowsOf(*source));
    root.set("money", mustache::lambda2(money));
    root.set("calc", mustache::lambda2(calc));
    root.set("ruled", mustache::lambda2(ruled));

    mustache::mustache layout(utf8(m_text));
    FoldingContext context(&root);
    const std::string html = layout.render(context);
    if (!layout.is_valid())
        throw Exception(QStringLiteral("The reporting project \"%1\" cannot be rendered: %2")
                            .arg(m_origin, unicode(layout.error_message())));
    return unicode(html);
}
