// parseParameters: the markers of a statement. Besides never failing, the
// markers it reports are each a single colon outside quotes followed by a
// whole name, in increasing order inside the text, none missed; the statement
// it returns is the text with each marker as '?' and two colons as one, every
// other character (all of the text in quotes) kept as it was; so the '?'
// outside quotes in it are exactly the markers and the text's own.
#include "data/datasets/ParameterList.h"
#include "fuzz/FuzzKit.h"

#include <QStringList>

namespace {
bool isQuote(QChar c) { return c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'); }

// What ends a name (the header's list, with a tab and a carriage return).
bool endsName(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(')') ||
           c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
}

// The quoted parts of a text (each with its quotes; the last may be open) and
// its '?' outside them.
struct Reading {
    QStringList quoted;
    int questionMarks = 0;
};
Reading read(const QString &sql) {
    Reading reading;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            reading.quoted.last() += c;
            if (c == quote)
                quote = QChar();
        } else if (isQuote(c)) {
            quote = c;
            reading.quoted.append(QString(c));
        } else if (c == QLatin1Char('?')) {
            ++reading.questionMarks;
        }
    }
    return reading;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = FuzzKit::text(data, size);
    const ParsedStatement parsed = parseParameters(text);
    const int markers = static_cast<int>(parsed.names.size());
    FUZZ_CHECK(parsed.positions.size() == markers, text);

    // Each marker: after the one before, inside the text, one colon and a whole name.
    int after = -1;
    for (int m = 0; m < markers; ++m) {
        const int at = parsed.positions[m];
        const QString &name = parsed.names[m];
        FUZZ_CHECK(at > after && at < text.size(), text);
        FUZZ_CHECK(text[at] == QLatin1Char(':') && !name.isEmpty() && name.front() != QLatin1Char(':'), text);
        FUZZ_CHECK(QStringView(text).mid(at + 1, name.size()) == name, text);
        const int end = at + 1 + static_cast<int>(name.size());
        FUZZ_CHECK(end == text.size() || endsName(text[end]), text);
        for (const QChar c : name)
            FUZZ_CHECK(!endsName(c), text);
        after = end - 1;
    }

    // The statement rebuilt from the markers reported.
    QString expected;
    int ownQuestionMarks = 0; // the text's own '?' outside quotes
    QStringList quoted;
    QChar quote;
    int next = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (next < markers && i == parsed.positions[next]) {
            FUZZ_CHECK(quote.isNull(), text);
            expected += QLatin1Char('?');
            i += static_cast<int>(parsed.names[next++].size());
            continue;
        }
        const QChar c = text[i];
        expected += c;
        if (!quote.isNull()) {
            quoted.last() += c;
            if (c == quote)
                quote = QChar();
        } else if (isQuote(c)) {
            quote = c;
            quoted.append(QString(c));
        } else if (c == QLatin1Char(':')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char(':'))
                ++i; // two colons: one literal colon
            else     // a colon left alone has no name after it
                FUZZ_CHECK(i + 1 == text.size() || endsName(text[i + 1]), text);
        } else if (c == QLatin1Char('?')) {
            ++ownQuestionMarks;
        }
    }
    FUZZ_CHECK(next == markers, text);
    FUZZ_CHECK(parsed.sql == expected, text + QStringLiteral("\n  sql: ") + parsed.sql);

    // Read on its own, the statement has a '?' per marker outside quotes and
    // the same quoted parts as the text.
    const Reading sql = read(parsed.sql);
    FUZZ_CHECK(sql.questionMarks == markers + ownQuestionMarks, text);
    FUZZ_CHECK(sql.quoted == quoted, text);
    return 0;
}
