#pragma once
// A plain reading of a statement for the fuzz targets to judge the program's
// scanners by, written apart from them: apostrophe literals, double-quoted,
// back-quoted and bracketed names (the closing character doubled inside
// stands for itself), and comments (-- up to the line break, /* to the first
// */). An unclosed literal, name or comment runs to the end; a bracket never
// closed is an ordinary character.
#include <QList>
#include <QRegularExpression>
#include <QString>

namespace StatementModel {

struct Literal {
    QString text;       ///< with its apostrophes
    int at = 0;         ///< where it starts
    bool alias = false; ///< it follows the keyword AS: a column alias, not a value
};

/// A part of the text that is not code.
struct Piece {
    char kind = 0; ///< 'l' literal, 'n' name, 'c' comment
    int at = 0;
    int end = 0; ///< one past its last character
};

struct Reading {
    QList<Literal> literals;
    QList<Piece> pieces;
    QByteArray code; ///< one per character: 1 for code, 0 inside a literal, name or comment
};

// One past the character that closes what opens at `at`, or -1 when nothing does.
inline int closedAt(const QString &sql, int at, QChar close) {
    int i = at + 1;
    while (i < sql.size()) {
        if (sql[i] == close) {
            if (i + 1 < sql.size() && sql[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return -1;
}

inline Reading read(const QString &sql) {
    static const QRegularExpression as(QStringLiteral("\\bas\\s*$"), QRegularExpression::CaseInsensitiveOption);
    Reading reading;
    const int n = static_cast<int>(sql.size());
    reading.code = QByteArray(n, 1);
    int i = 0;
    while (i < n) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        int end = -1;
        char kind = 0;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            end = closedAt(sql, i, c);
            end = end < 0 ? n : end;
            kind = c == QLatin1Char('\'') ? 'l' : 'n';
        } else if (c == QLatin1Char('[')) {
            end = closedAt(sql, i, QLatin1Char(']'));
            kind = 'n';
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            end = static_cast<int>(sql.indexOf(QLatin1Char('\n'), i));
            end = end < 0 ? n : end;
            kind = 'c';
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            end = static_cast<int>(sql.indexOf(QStringLiteral("*/"), i + 2));
            end = end < 0 ? n : end + 2;
            kind = 'c';
        }
        if (end < 0) {
            ++i;
            continue;
        }
        if (kind == 'l')
            reading.literals.append({sql.mid(i, end - i), i, as.match(sql.left(i)).hasMatch()});
        reading.pieces.append({kind, i, end});
        for (int k = i; k < end; ++k)
            reading.code[k] = 0;
        i = end;
    }
    return reading;
}

} // namespace StatementModel
