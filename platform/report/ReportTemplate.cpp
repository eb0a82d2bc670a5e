#include "platform/report/ReportTemplate.h"
#include "platform/Exception.h"
#include "platform/report/ReportNumbers.h"
#include "platform/report/ReportRowSource.h"

#include <QDate>
#include <QRegularExpression>
#include <kainjow/mustache.hpp>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>

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

/// The rows of the sources, read only where the layout asks for a value: a
/// source of twenty thousand customers costs the one row the layout shows,
/// not every field of every row. A row is a placeholder in its source's list,
/// told by where it lies; its names resolve as if it held every field as
/// display text without trailing blanks, `current` and `RecNo`, each set under
/// its name and under its lower-case name, as setFolded sets them.
class LazyRows {
public:
    explicit LazyRows(const QList<ReportRowSource *> &sources) {
        for (const ReportRowSource *source : sources) {
            Source known{source, source->fieldNames(), source->currentRow(), {}};
            auto slot = [&](const std::string &name, int value, bool win) {
                known.names[name] = value;
                const std::string lower = folded(name);
                if (lower != name && (win || known.names.find(lower) == known.names.end()))
                    known.names[lower] = value;
            };
            for (int i = 0; i < known.fields.size(); ++i)
                slot(utf8(known.fields[i]), i, false);
            // Last: the engine's own keys win over fields of the same name.
            slot("current", currentSlot, true);
            slot("RecNo", recNoSlot, true);
            m_sources.push_back(std::move(known));
        }
    }
    /// A copy of the list of rows of a source, where it lives now.
    void place(const mustache::data &rows, int source) {
        if (rows.is_non_empty_list())
            m_lists.push_back({&rows.list_value().front(), int(rows.list_value().size()), source});
    }

    /// Whether `item` is a row; if so, `found` is the value of `name` in it, or
    /// null when the row holds no such name.
    bool lookup(const mustache::data *item, const std::string &name, const mustache::data **found) const {
        for (const List &list : m_lists) {
            const std::less<const mustache::data *> before;
            if (before(item, list.first) || !before(item, list.first + list.size))
                continue;
            const int row = int(item - list.first);
            const Source &source = m_sources[list.source];
            auto slot = source.names.find(name);
            if (slot == source.names.end())
                slot = source.names.find(folded(name));
            *found = slot == source.names.end() ? nullptr : value(list.source, row, slot->second);
            return true;
        }
        return false;
    }

private:
    static constexpr int currentSlot = -1, recNoSlot = -2;
    struct Source {
        const ReportRowSource *source;
        QStringList fields;
        int current;
        std::unordered_map<std::string, int> names;
    };
    struct List {
        const mustache::data *first;
        int size;
        int source;
    };

    const mustache::data *value(int source, int row, int slot) const {
        static const mustache::data yes(true), no(false);
        const Source &from = m_sources[source];
        if (slot == currentSlot)
            return row == from.current ? &yes : &no;
        auto &cached = m_values[{source, row, slot}];
        if (!cached)
            cached = std::make_unique<mustache::data>(
                slot == recNoSlot ? mustache::data(std::to_string(row + 1))
                                  : textData(withoutTrailingBlanks(from.source->displayText(row, from.fields[slot]))));
        return cached.get();
    }

    std::vector<Source> m_sources;
    std::vector<List> m_lists;
    mutable std::map<std::tuple<int, int, int>, std::unique_ptr<mustache::data>> m_values;
};

/// The context stack of a rendering, looking names up as the layout writes
/// them, then in lower case, and taking a whole name with full stops as one
/// key before reading it as a path.
class FoldingContext : public mustache::basic_context<std::string> {
public:
    FoldingContext(const mustache::data *root, const LazyRows &rows) : m_rows(rows) { push(root); }

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
    const mustache::data *lookup(const mustache::data *item, const std::string &name) const {
        const mustache::data *found = nullptr;
        if (m_rows.lookup(item, name, &found))
            return found;
        if ((found = item->get(name)))
            return found;
        return item->get(folded(name));
    }

    const LazyRows &m_rows;
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

/// A placeholder for each row of the source (true, as a row in a section is):
/// LazyRows answers for them.
mustache::data rowsOf(const ReportRowSource &source) {
    mustache::data rows(mustache::data::type::list);
    for (int i = 0; i < source.rowCount(); ++i)
        rows.push_back(mustache::data(true));
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
    // Each source's list under its name and, when free, its lower-case name,
    // as setFolded sets values; noted to know whose rows each copy holds.
    std::map<std::string, int> owners;
    for (int i = 0; i < sources.size(); ++i) {
        const std::string name = utf8(sources[i]->sourceName());
        const mustache::data rows = rowsOf(*sources[i]);
        root.set(name, rows);
        owners[name] = i;
        const std::string lower = folded(name);
        if (lower != name && !root.get(lower)) {
            root.set(lower, rows);
            owners[lower] = i;
        }
    }
    root.set("money", mustache::lambda2(money));
    root.set("calc", mustache::lambda2(calc));
    root.set("ruled", mustache::lambda2(ruled));
    LazyRows rows(sources);
    for (const auto &[key, source] : owners)
        if (const mustache::data *list = root.get(key); list && list->is_list())
            rows.place(*list, source);

    mustache::mustache layout(utf8(m_text));
    FoldingContext context(&root, rows);
    const std::string html = layout.render(context);
    if (!layout.is_valid())
        throw Exception(QStringLiteral("The reporting project \"%1\" cannot be rendered: %2")
                            .arg(m_origin, unicode(layout.error_message())));
    return unicode(html);
}
