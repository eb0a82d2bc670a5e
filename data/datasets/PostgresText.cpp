#include "data/datasets/PostgresText.h"

#include <QRegularExpression>

namespace {
QString quoted(const QString &name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// Whether the code written so far ends with the keyword AS.
bool afterAs(const QString &written) {
    static thread_local const QRegularExpression as(QStringLiteral("\\bas\\s*$"),
                                                    QRegularExpression::CaseInsensitiveOption);
    return as.match(written).hasMatch();
}

// The end of a single-quoted literal starting at `at` (one past its closing quote).
int literalEnd(const QString &sql, int at) {
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
    return sql.size();
}

// The end (one past) of a double-quoted name or a comment starting at `at`,
// or -1 when none starts there. Neither is ever rewritten, and an apostrophe
// in one starts no literal.
int nameOrCommentEnd(const QString &sql, int at) {
    const QChar c = sql[at];
    const QChar next = at + 1 < sql.size() ? sql[at + 1] : QChar();
    QString closing;
    if (c == QLatin1Char('"'))
        closing = QStringLiteral("\"");
    else if (c == QLatin1Char('-') && next == QLatin1Char('-'))
        closing = QStringLiteral("\n");
    else if (c == QLatin1Char('/') && next == QLatin1Char('*'))
        closing = QStringLiteral("*/");
    else
        return -1;
    const qsizetype close = sql.indexOf(closing, at + (c == QLatin1Char('"') ? 1 : 2));
    // Never closed: it runs to the end.
    return static_cast<int>(close < 0 ? sql.size() : close + closing.size());
}

// Aliases and bracketed names.
QString rewriteNames(const QString &sql) {
    QString out;
    int i = 0;
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (const int end = nameOrCommentEnd(sql, i); end > 0) {
            out += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (c == QLatin1Char('\'')) {
            const int end = literalEnd(sql, i);
            if (afterAs(out)) {
                QString alias = sql.mid(i + 1, end - i - 2);
                alias.replace(QStringLiteral("''"), QStringLiteral("'"));
                out += quoted(alias);
            } else {
                out += sql.mid(i, end - i);
            }
            i = end;
        } else if (c == QLatin1Char('[')) {
            const int end = sql.indexOf(QLatin1Char(']'), i + 1);
            if (end < 0) {
                out += sql.mid(i);
                break;
            }
            const QString name = sql.mid(i + 1, end - i - 1);
            out += quoted(afterAs(out) ? name : name.toLower());
            i = end + 1;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// The pieces of a call's argument list at its top level; `end` is one past
// the closing parenthesis, or -1 when there is none.
QStringList arguments(const QString &sql, int open, int *end) {
    QStringList pieces;
    int depth = 0, start = open + 1;
    for (int i = open; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (const int skipped = nameOrCommentEnd(sql, i); skipped > 0) {
            i = skipped - 1;
        } else if (c == QLatin1Char('\'')) {
            i = literalEnd(sql, i) - 1;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')') && --depth == 0) {
            pieces << sql.mid(start, i - start).trimmed();
            *end = i + 1;
            return pieces;
        } else if (c == QLatin1Char(',') && depth == 1) {
            pieces << sql.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    *end = -1;
    return pieces;
}

QString pictureOf(int style) {
    switch (style) {
    case 104: return QStringLiteral("DD.MM.YYYY");
    case 103: return QStringLiteral("DD/MM/YYYY");
    case 102: return QStringLiteral("YYYY.MM.DD");
    case 23: return QStringLiteral("YYYY-MM-DD");
    case 120: return QStringLiteral("YYYY-MM-DD HH24:MI:SS");
    default: return QString();
    }
}

// Convert(char(n), e, style) calls, outside literals, quoted names and comments.
QString rewriteConverts(const QString &sql) {
    static thread_local const QRegularExpression call(QStringLiteral("\\bconvert\\s*\\("),
                                                      QRegularExpression::CaseInsensitiveOption);
    static thread_local const QRegularExpression fixedText(QStringLiteral("^char\\s*\\(\\s*(\\d+)\\s*\\)$"),
                                                           QRegularExpression::CaseInsensitiveOption);
    QString out;
    int i = 0;
    while (i < sql.size()) {
        if (const int end = nameOrCommentEnd(sql, i); end > 0) {
            out += QStringView(sql).mid(i, end - i);
            i = end;
            continue;
        }
        if (sql[i] == QLatin1Char('\'')) {
            const int end = literalEnd(sql, i);
            out += sql.mid(i, end - i);
            i = end;
            continue;
        }
        const auto m =
            call.match(sql, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (m.hasMatch()) {
            int end = -1;
            const QStringList args = arguments(sql, m.capturedEnd() - 1, &end);
            const auto width = args.size() == 3 ? fixedText.match(args[0]) : QRegularExpressionMatch();
            const QString picture = args.size() == 3 ? pictureOf(args[2].toInt()) : QString();
            if (end > 0 && width.hasMatch() && !picture.isEmpty()) {
                out += QStringLiteral("cast(to_char(%1,'%2') as char(%3))")
                           .arg(rewriteConverts(args[1]), picture, width.captured(1));
                i = end;
                continue;
            }
        }
        out += sql[i];
        ++i;
    }
    return out;
}
} // namespace

QString PostgresText::rewrite(const QString &sql) { return rewriteConverts(rewriteNames(sql)); }
