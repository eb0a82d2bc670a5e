#include "data/datasets/RowOrder.h"
#include "data/datasets/StatementScanner.h"

#include <QRegularExpression>
#include <algorithm>

namespace {
// The text again with every run of blanks in code made one blank, ends trimmed:
// lines a statement leaves empty do not make it another statement.
QString folded(const StatementScanner &scan, int end) {
    QString out;
    for (const StatementScanner::Span &span : scan.spans()) {
        if (span.start >= end)
            break;
        const QStringView text = scan.textOf(span).left(end - span.start);
        if (span.kind != StatementScanner::Kind::Code) {
            out += text;
            continue;
        }
        for (QChar c : text) {
            if (c.isSpace()) {
                if (!out.endsWith(QLatin1Char(' ')))
                    out += QLatin1Char(' ');
            } else {
                out += c;
            }
        }
    }
    return out.trimmed();
}

// A term: one name, bare or quoted, and perhaps ASC or DESC.
std::optional<OrderClause::Term> termOf(const QString &text) {
    static const QRegularExpression bare(QStringLiteral("^\\s*(\\w+)(?:\\s+(asc|desc))?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression direction(QStringLiteral("^\\s*(asc|desc)?\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const StatementScanner scan(text);
    OrderClause::Term term;
    QString rest;
    if (const auto m = bare.match(text); m.hasMatch()) {
        if (m.captured(1).front().isDigit())
            return std::nullopt; // a column number
        term.name = m.captured(1);
        rest = m.captured(2);
    } else {
        // A quoted name: the first span after blanks, closed, then a direction.
        const QList<StatementScanner::Span> &spans = scan.spans();
        int at = 0;
        if (at < spans.size() && spans[at].kind == StatementScanner::Kind::Code &&
            scan.textOf(spans[at]).trimmed().isEmpty())
            ++at;
        if (at >= spans.size() || spans[at].kind != StatementScanner::Kind::Name || !spans[at].closed)
            return std::nullopt;
        term.name = scan.value(spans[at]);
        rest = at + 1 < spans.size() ? text.mid(spans[at + 1].start) : QString();
        if (at + 2 < spans.size())
            return std::nullopt;
    }
    const auto m = direction.match(rest);
    if (!m.hasMatch())
        return std::nullopt;
    term.descending = m.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
    return term;
}
} // namespace

OrderClause OrderClause::of(const QString &sql) {
    const StatementScanner scan(sql);
    const QString code = scan.codeOnly();
    static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    // The last ORDER BY outside parentheses.
    int at = -1, atEnd = -1;
    for (auto it = orderBy.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        const QStringView before = QStringView(code).left(m.capturedStart());
        if (before.count(QLatin1Char('(')) == before.count(QLatin1Char(')'))) {
            at = int(m.capturedStart());
            atEnd = int(m.capturedEnd());
        }
    }
    OrderClause clause;
    if (at < 0) {
        clause.rows = folded(scan, int(sql.size()));
        return clause;
    }
    // Terms split at commas of the code outside parentheses.
    QList<Term> terms;
    int depth = 0, start = atEnd;
    bool plain = true;
    for (int i = atEnd; i <= code.size() && plain; ++i) {
        const QChar c = i < code.size() ? code[i] : QLatin1Char(',');
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        if (depth != 0 || c != QLatin1Char(','))
            continue;
        const std::optional<Term> term = termOf(sql.mid(start, i - start));
        if (term)
            terms.append(*term);
        plain = plain && term && depth == 0;
        start = i + 1;
    }
    if (!plain || terms.isEmpty()) {
        clause.rows = folded(scan, int(sql.size()));
        clause.plain = false;
        return clause;
    }
    clause.rows = folded(scan, at);
    clause.terms = terms;
    return clause;
}

std::optional<std::vector<int>> RowOrder::order(const std::vector<ColumnData> &columns, const std::vector<Key> &keys,
                                                int tieColumn, const SqlDialect::OrderRules &rules) {
    const int rows = columns.empty() ? 0 : columns.front().size();
    // Each key as one unsigned number per row whose order is the wanted one
    // (the direction applied), and a mark that puts nulls at their end.
    std::vector<std::vector<std::uint64_t>> ranks(keys.size());
    std::vector<std::vector<std::uint8_t>> marks(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        if (!columns[keys[k].column].orderKeys(ranks[k], marks[k]))
            return std::nullopt;
        const bool nullsFirst = rules.nullsLargest == keys[k].descending;
        for (std::uint8_t &mark : marks[k])
            mark = (mark != 0) == nullsFirst ? 0 : 1;
        if (keys[k].descending)
            for (std::uint64_t &value : ranks[k])
                value = ~value;
    }
    const bool ties = rules.tiesByRowKey && tieColumn >= 0;
    std::vector<std::uint64_t> tie;
    std::vector<std::uint8_t> tieNulls;
    if (ties && !columns[tieColumn].orderKeys(tie, tieNulls))
        return std::nullopt;

    struct Entry {
        std::uint64_t key;
        std::uint64_t tie;
        int row;
        std::uint8_t mark;
    };
    std::vector<Entry> entries(rows);
    for (int row = 0; row < rows; ++row)
        entries[row] = {keys.empty() ? 0 : ranks[0][row], ties ? tie[row] : std::uint64_t(row), row,
                        keys.empty() ? std::uint8_t(0) : marks[0][row]};
    auto compareRest = [&](int a, int b) {
        for (size_t k = 1; k < keys.size(); ++k) {
            if (marks[k][a] != marks[k][b])
                return marks[k][a] < marks[k][b] ? -1 : 1;
            if (ranks[k][a] != ranks[k][b])
                return ranks[k][a] < ranks[k][b] ? -1 : 1;
        }
        return 0;
    };
    auto compareKeys = [&](const Entry &a, const Entry &b) {
        if (a.mark != b.mark)
            return a.mark < b.mark ? -1 : 1;
        if (a.key != b.key)
            return a.key < b.key ? -1 : 1;
        return compareRest(a.row, b.row);
    };
    std::sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) {
        const int c = compareKeys(a, b);
        return c != 0 ? c < 0 : a.tie < b.tie;
    });
    std::vector<int> order(rows);
    for (int i = 0; i < rows; ++i) {
        // Without the store's rule for ties, equal keys leave the order open.
        if (!ties && i > 0 && compareKeys(entries[i - 1], entries[i]) == 0)
            return std::nullopt;
        order[i] = entries[i].row;
    }
    return order;
}
