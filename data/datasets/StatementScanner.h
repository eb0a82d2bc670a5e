#pragma once
#include <QList>
#include <QString>
#include <QStringView>

/// Statement text cut end to end into code, '...' literals, "..." `...` [...] names (a quote doubled inside) and
/// comments (-- to the line break, /* to the first */, not nested); an unclosed one runs to the end, but an unclosed
/// bracket is code. Every rule that reads statement text is built on this one reading.
class StatementScanner {
public:
    enum class Kind { Code, Literal, Name, Comment };
    struct Span {
        Kind kind = Kind::Code;
        int start = 0;
        int end = 0;        ///< one past its last character
        bool closed = true; ///< false for a literal, name or /* comment the text ends inside
    };

    explicit StatementScanner(const QString &text);

    const QList<Span> &spans() const { return m_spans; }
    /// The span holding the character at `position` (0 <= position < size).
    const Span &spanAt(int position) const;
    QStringView textOf(const Span &span) const { return QStringView(m_text).mid(span.start, span.end - span.start); }
    /// A literal's or name's content with its doubled quotes made single.
    QString value(const Span &span) const;
    /// The text, same length, with the inside of literals and names and the
    /// whole of comments blanked: code for keyword searches.
    QString codeOnly() const;

private:
    QString m_text;
    QList<Span> m_spans;
};
