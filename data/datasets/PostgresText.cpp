#include "data/datasets/PostgresText.h"
#include "data/datasets/StatementScanner.h"

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

// Aliases and bracketed names.
QString rewriteNames(const QString &sql) {
    const StatementScanner scan(sql);
    QString out;
    for (const StatementScanner::Span &span : scan.spans()) {
        const QStringView text = scan.textOf(span);
        if (span.kind == StatementScanner::Kind::Literal && span.closed && afterAs(out))
            out += quoted(scan.value(span));
        else if (span.kind == StatementScanner::Kind::Name && text.front() == QLatin1Char('['))
            out += quoted(afterAs(out) ? scan.value(span) : scan.value(span).toLower());
        else
            out += text;
    }
    return out;
}

// The pieces of a call's argument list at its top level; `end` is one past
// the closing parenthesis, or -1 when there is none.
QStringList arguments(const StatementScanner &scan, const QString &sql, int open, int *end) {
    QStringList pieces;
    int depth = 0, start = open + 1;
    for (int i = open; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (const StatementScanner::Span &span = scan.spanAt(i); span.kind != StatementScanner::Kind::Code) {
            i = span.end - 1;
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
    const StatementScanner scan(sql);
    QString out;
    int i = 0;
    while (i < sql.size()) {
        if (const StatementScanner::Span &span = scan.spanAt(i); span.kind != StatementScanner::Kind::Code) {
            out += scan.textOf(span);
            i = span.end;
            continue;
        }
        const auto m =
            call.match(sql, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (m.hasMatch()) {
            int end = -1;
            const QStringList args = arguments(scan, sql, static_cast<int>(m.capturedEnd()) - 1, &end);
            const auto width = args.size() == 3 ? fixedText.match(args[0]) : QRegularExpressionMatch();
            // The style is a number and nothing else: a NUL would end toInt's reading early.
            static thread_local const QRegularExpression number(QStringLiteral("^\\s*\\d+\\s*$"));
            const QString picture =
                args.size() == 3 && number.match(args[2]).hasMatch() ? pictureOf(args[2].toInt()) : QString();
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
