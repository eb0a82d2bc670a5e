#include "data/datasets/SqlText.h"

#include <QRegularExpression>

QString SqlText::codeOnly(const QString &sql) {
    QString out = sql;
    QChar quote;
    for (int i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out[i] = QLatin1Char(' ');
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
            quote = c;
        else if (c == QLatin1Char('['))
            quote = QLatin1Char(']');
        else if (c == QLatin1Char('-') && i + 1 < out.size() && out[i + 1] == QLatin1Char('-')) {
            while (i < out.size() && out[i] != QLatin1Char('\n'))
                out[i++] = QLatin1Char(' ');
        }
    }
    return out;
}

QString SqlText::unquoteName(const QString &name) {
    if (name.size() >= 2) {
        const QChar first = name.front(), last = name.back();
        if ((first == QLatin1Char('[') && last == QLatin1Char(']')) ||
            (first == QLatin1Char('"') && last == QLatin1Char('"')) ||
            (first == QLatin1Char('`') && last == QLatin1Char('`')))
            return name.mid(1, name.size() - 2);
    }
    return name;
}

QList<SqlText::TableRef> SqlText::tableReferences(const QString &sql) {
    static thread_local const QRegularExpression keyword(QStringLiteral("\\b(from|join|into|update)\\s+"),
                                                         QRegularExpression::CaseInsensitiveOption);
    static thread_local const QRegularExpression name(
        QStringLiteral("\\G(\\[[^\\]]+\\]|\"[^\"]+\"|`[^`]+`|[\\w.]+)(?:\\s+(?:as\\s+)?(\\w+))?"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    static const QStringList notAliases = {"where", "join",  "inner",  "left",  "right", "full",    "cross", "on",
                                           "order", "group", "having", "union", "limit", "natural", "outer"};
    const QString code = codeOnly(sql);
    QList<TableRef> refs;
    auto it = keyword.globalMatch(code);
    while (it.hasNext()) {
        const auto k = it.next();
        const auto m = name.match(sql, k.capturedEnd());
        if (!m.hasMatch() || m.captured(1).startsWith(QLatin1Char('(')))
            continue;
        TableRef ref{unquoteName(m.captured(1)), m.captured(2)};
        if (notAliases.contains(ref.alias, Qt::CaseInsensitive))
            ref.alias.clear();
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

QString SqlText::withRowKey(const QString &sql, const QString &expression) {
    const int at = selectEnd(codeOnly(sql));
    if (at < 0 || isAggregate(sql))
        return QString();
    return sql.left(at) + QLatin1Char(' ') + expression + QStringLiteral(" as \"") + QLatin1String(rowKeyName) +
           QStringLiteral("\",") + sql.mid(at);
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
