#include "data/datasets/StatementScanner.h"

#include <algorithm>

namespace {
QChar closingOf(QChar opening) { return opening == QLatin1Char('[') ? QLatin1Char(']') : opening; }

// One past the closing quote of the literal or name opened at `at`, or -1.
int quotedEnd(const QString &text, int at) {
    const QChar close = closingOf(text[at]);
    for (int i = at + 1; i < text.size(); ++i) {
        if (text[i] != close)
            continue;
        if (i + 1 < text.size() && text[i + 1] == close)
            ++i; // doubled: the quote itself
        else
            return i + 1;
    }
    return -1;
}
} // namespace

StatementScanner::StatementScanner(const QString &text) : m_text(text) {
    const int n = static_cast<int>(text.size());
    int codeStart = 0;
    auto add = [&](Kind kind, int start, int end, bool closed) {
        if (start > codeStart)
            m_spans.append({Kind::Code, codeStart, start, true});
        m_spans.append({kind, start, end, closed});
        codeStart = end;
    };
    int i = 0;
    while (i < n) {
        const QChar c = text[i];
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const int end = quotedEnd(text, i);
            if (end < 0 && c == QLatin1Char('[')) {
                ++i; // no store takes an unclosed bracket for a name: it stays code
                continue;
            }
            add(c == QLatin1Char('\'') ? Kind::Literal : Kind::Name, i, end < 0 ? n : end, end >= 0);
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            const int end = static_cast<int>(text.indexOf(QLatin1Char('\n'), i + 2));
            add(Kind::Comment, i, end < 0 ? n : end, true);
            i = end < 0 ? n : end;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            // Not nested, as SQLite reads it; the program's statements hold no comment in a comment.
            const int close = static_cast<int>(text.indexOf(QLatin1String("*/"), i + 2));
            const int end = close < 0 ? n : close + 2;
            add(Kind::Comment, i, end, close >= 0);
            i = end;
        } else {
            ++i;
        }
    }
    if (n > codeStart)
        m_spans.append({Kind::Code, codeStart, n, true});
}

const StatementScanner::Span &StatementScanner::spanAt(int position) const {
    const auto after = std::upper_bound(m_spans.cbegin(), m_spans.cend(), position,
                                        [](int at, const Span &span) { return at < span.start; });
    return *(after - 1);
}

QString StatementScanner::value(const Span &span) const {
    const QChar close = closingOf(m_text[span.start]);
    QString inside = m_text.mid(span.start + 1, span.end - span.start - (span.closed ? 2 : 1));
    return inside.replace(QString(2, close), QString(close));
}

QString StatementScanner::codeOnly() const {
    QString out = m_text;
    for (const Span &span : m_spans) {
        if (span.kind == Kind::Code)
            continue;
        // A literal or name keeps its quotes, so words on either side stay apart.
        const bool quoted = span.kind != Kind::Comment;
        const int from = span.start + (quoted ? 1 : 0), to = span.end - (quoted && span.closed ? 1 : 0);
        for (int i = from; i < to; ++i)
            out[i] = QLatin1Char(' ');
    }
    return out;
}
