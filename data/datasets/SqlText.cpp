#include "data/datasets/SqlText.h"
#include "data/datasets/StatementScanner.h"

#include <QRegularExpression>

QString SqlText::codeOnly(const QString &sql) { return StatementScanner(sql).codeOnly(); }

QString SqlText::unquoteName(const QString &name) {
    const StatementScanner scan(name);
    if (scan.spans().size() == 1 && scan.spans().front().kind == StatementScanner::Kind::Name &&
        scan.spans().front().closed)
        return scan.value(scan.spans().front());
    return name;
}

QList<SqlText::TableRef> SqlText::tableReferences(const QString &sql) {
    static thread_local const QRegularExpression keyword(QStringLiteral("\\b(from|join|into|update)\\s+"),
                                                         QRegularExpression::CaseInsensitiveOption);
    static thread_local const QRegularExpression plainName(QStringLiteral("\\G[\\w.]+"),
                                                           QRegularExpression::UseUnicodePropertiesOption);
    static thread_local const QRegularExpression alias(QStringLiteral("\\G\\s+(?:as\\s+)?(\\w+)"),
                                                       QRegularExpression::CaseInsensitiveOption |
                                                           QRegularExpression::UseUnicodePropertiesOption);
    static const QStringList notAliases = {"where", "join",  "inner",  "left",  "right", "full",    "cross", "on",
                                           "order", "group", "having", "union", "limit", "natural", "outer"};
    const StatementScanner scan(sql);
    const QString code = scan.codeOnly();
    QList<TableRef> refs;
    auto it = keyword.globalMatch(code);
    while (it.hasNext()) {
        const int at = static_cast<int>(it.next().capturedEnd());
        if (at >= sql.size())
            break;
        // A quoted name as its content, or a plain (perhaps qualified) name.
        TableRef ref;
        int end = -1;
        const StatementScanner::Span &span = scan.spanAt(at);
        if (span.kind == StatementScanner::Kind::Name && span.start == at && span.closed) {
            ref.table = scan.value(span);
            end = span.end;
        } else if (const auto m = plainName.match(code, at); m.hasMatch()) {
            ref.table = m.captured();
            end = static_cast<int>(m.capturedEnd());
        }
        if (ref.table.isEmpty())
            continue;
        // Read in code, so a comment between name and alias is a blank.
        if (const auto m = alias.match(code, end);
            m.hasMatch() && !notAliases.contains(m.captured(1), Qt::CaseInsensitive))
            ref.alias = m.captured(1);
        refs.append(ref);
    }
    return refs;
}

bool SqlText::isAggregate(const QString &sql) {
    static thread_local const QRegularExpression pattern(
        QStringLiteral("\\b(sum|count|avg|min|max|total|group_concat|string_agg)\\s*\\(|\\bgroup\\s+by\\b|"
                       "^\\s*select\\s+distinct\\b|\\b(union|intersect|except)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return pattern.match(codeOnly(sql)).hasMatch();
}

namespace {
int selectEnd(const QString &code) {
    static thread_local const QRegularExpression select(QStringLiteral("^\\s*select\\b(\\s+all\\b)?"),
                                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = select.match(code);
    return m.hasMatch() ? m.capturedEnd() : -1;
}
} // namespace

QString SqlText::withRowKey(const QString &sql, const QString &expression, const QStringList &alongside) {
    const int at = selectEnd(codeOnly(sql));
    if (at < 0 || isAggregate(sql))
        return QString();
    QString hidden;
    for (int i = 0; i < alongside.size(); ++i)
        hidden += QStringLiteral(" %1 as \"__along%2\",").arg(alongside[i]).arg(i + 1);
    return sql.left(at) + QLatin1Char(' ') + expression + QStringLiteral(" as \"") + QLatin1String(rowKeyName) +
           QStringLiteral("\",") + hidden + sql.mid(at);
}

QStringList SqlText::selectItems(const QString &sql) {
    const QString code = SqlText::codeOnly(sql);
    static thread_local const QRegularExpression select(QStringLiteral("^\\s*select\\s+"),
                                                        QRegularExpression::CaseInsensitiveOption);
    static thread_local const QRegularExpression from(QStringLiteral("\\bfrom\\b"),
                                                      QRegularExpression::CaseInsensitiveOption);
    const auto start = select.match(code);
    if (!start.hasMatch())
        return {};
    int depth = 0, itemStart = start.capturedEnd();
    QStringList items;
    for (int i = itemStart; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (depth == 0 && c == QLatin1Char(',')) {
            items << sql.mid(itemStart, i - itemStart).trimmed();
            itemStart = i + 1;
        } else if (depth == 0 &&
                   from.match(code, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption)
                       .hasMatch()) {
            items << sql.mid(itemStart, i - itemStart).trimmed();
            break;
        }
    }
    for (const QString &item : items)
        if (item.endsWith(QLatin1Char('*')))
            return {};
    return items;
}
