#pragma once
// A plain reading of a statement for the fuzz targets to judge the program's
// scanners by: apostrophe literals (an apostrophe inside doubled), double-
// quoted and bracketed names, and comments (-- to the end of the line,
// /* to */). A bracket never closed is an ordinary character.
#include <QList>
#include <QRegularExpression>
#include <QString>

namespace StatementModel {

struct Literal {
    QString text;       ///< with its apostrophes
    int at = 0;         ///< where it starts
    bool alias = false; ///< it follows the keyword AS: a column alias, not a value
};

struct Reading {
    QList<Literal> literals;
    QByteArray code; ///< one per character: 1 for code, 0 inside a literal, name or comment
};

inline int literalEnd(const QString &sql, int at) {
    int i = at + 1;
    while (i < sql.size()) {
        if (sql[i] == QLatin1Char('\'')) {
            if (i + 1 < sql.size() && sql[i + 1] == QLatin1Char('\'')) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return static_cast<int>(sql.size());
}

inline Reading read(const QString &sql) {
    static const QRegularExpression as(QStringLiteral("\\bas\\s*$"), QRegularExpression::CaseInsensitiveOption);
    Reading reading;
    const int n = static_cast<int>(sql.size());
    reading.code = QByteArray(n, 1);
    auto skip = [&](int from, int to) {
        for (int k = from; k < to; ++k)
            reading.code[k] = 0;
    };
    int i = 0;
    while (i < n) {
        const QChar c = sql[i];
        int end = -1;
        if (c == QLatin1Char('\'')) {
            end = literalEnd(sql, i);
            reading.literals.append({sql.mid(i, end - i), i, as.match(sql.left(i)).hasMatch()});
        } else if (c == QLatin1Char('"')) {
            end = static_cast<int>(sql.indexOf(QLatin1Char('"'), i + 1));
            end = end < 0 ? n : end + 1;
        } else if (c == QLatin1Char('[')) {
            end = static_cast<int>(sql.indexOf(QLatin1Char(']'), i + 1));
            end = end < 0 ? -1 : end + 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            end = static_cast<int>(sql.indexOf(QLatin1Char('\n'), i));
            end = end < 0 ? n : end + 1;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            end = static_cast<int>(sql.indexOf(QStringLiteral("*/"), i + 2));
            end = end < 0 ? n : end + 2;
        }
        if (end < 0) {
            ++i;
        } else {
            skip(i, end);
            i = end;
        }
    }
    return reading;
}

} // namespace StatementModel
