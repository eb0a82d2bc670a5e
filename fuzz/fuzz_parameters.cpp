// parseParameters: the markers of a statement. Besides never failing, the
// markers it reports are each a single colon in code (outside the literals,
// names and comments StatementModel reads) followed by a whole name, in
// increasing order inside the text, none missed; the statement it returns is
// the text with each marker as '?' and two colons in code as one, every other
// character (all of a literal, name or comment) kept as it was; so read on its
// own it has the same literals, names and comments, and its '?' in code are
// exactly the markers and the text's own.
#include "data/datasets/ParameterList.h"
#include "fuzz/FuzzKit.h"
#include "fuzz/StatementModel.h"

#include <QStringList>

namespace {
// What ends a name (the header's list, with a tab and a carriage return).
bool endsName(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(')') ||
           c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
}

QStringList piecesOf(const QString &sql, const StatementModel::Reading &reading) {
    QStringList pieces;
    for (const StatementModel::Piece &piece : reading.pieces)
        pieces << sql.mid(piece.at, piece.end - piece.at);
    return pieces;
}

int questionMarksInCode(const QString &sql, const StatementModel::Reading &reading) {
    int count = 0;
    for (int i = 0; i < sql.size(); ++i)
        count += reading.code[i] && sql[i] == QLatin1Char('?') ? 1 : 0;
    return count;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = FuzzKit::text(data, size);
    const StatementModel::Reading reading = StatementModel::read(text);
    const QByteArray &code = reading.code;
    // Where the code ends: the text's end or a literal, name or comment.
    auto codeEndsAt = [&](int i) { return i == text.size() || !code[i]; };

    const ParsedStatement parsed = parseParameters(text);
    const int markers = static_cast<int>(parsed.names.size());
    FUZZ_CHECK(parsed.positions.size() == markers, text);

    // Each marker: after the one before, in code, one colon and a whole name.
    int after = -1;
    for (int m = 0; m < markers; ++m) {
        const int at = parsed.positions[m];
        const QString &name = parsed.names[m];
        FUZZ_CHECK(at > after && at < text.size() && code[at], text);
        FUZZ_CHECK(text[at] == QLatin1Char(':') && !name.isEmpty() && name.front() != QLatin1Char(':'), text);
        FUZZ_CHECK(QStringView(text).mid(at + 1, name.size()) == name, text);
        const int end = at + 1 + static_cast<int>(name.size());
        FUZZ_CHECK(codeEndsAt(end) || endsName(text[end]), text);
        for (int i = at + 1; i < end; ++i)
            FUZZ_CHECK(code[i] && !endsName(text[i]), text);
        after = end - 1;
    }

    // The statement rebuilt from the markers reported.
    QString expected;
    int ownQuestionMarks = 0; // the text's own '?' in code, not in a marker's name
    int next = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (next < markers && i == parsed.positions[next]) {
            expected += QLatin1Char('?');
            i += static_cast<int>(parsed.names[next++].size());
            continue;
        }
        const QChar c = text[i];
        expected += c;
        if (code[i] && c == QLatin1Char('?'))
            ++ownQuestionMarks;
        if (!code[i] || c != QLatin1Char(':'))
            continue;
        if (i + 1 < text.size() && code[i + 1] && text[i + 1] == QLatin1Char(':'))
            ++i; // two colons: one literal colon
        else     // a colon left alone has no name after it
            FUZZ_CHECK(codeEndsAt(i + 1) || endsName(text[i + 1]), text);
    }
    FUZZ_CHECK(next == markers, text);
    FUZZ_CHECK(parsed.sql == expected, text + QStringLiteral("\n  sql: ") + parsed.sql);

    // Read on its own, the statement has the same literals, names and
    // comments, and a '?' in code per marker besides the text's own.
    const StatementModel::Reading sent = StatementModel::read(parsed.sql);
    FUZZ_CHECK(piecesOf(parsed.sql, sent) == piecesOf(text, reading), text + QStringLiteral("\n  sql: ") + parsed.sql);
    FUZZ_CHECK(questionMarksInCode(parsed.sql, sent) == markers + ownQuestionMarks, text);
    return 0;
}
