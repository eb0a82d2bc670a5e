// storableText and sqlLiteralBody: user text placed in a literal.
// - storableText keeps the length, leaves no surrogate without its partner,
//   changes nothing a second time, and nothing in text that was fine;
// - the body holds the stored text with its apostrophes doubled;
// - '<body>' is exactly one literal for every scanner of the program: codeOnly
//   blanks all of it and nothing after it, parseParameters finds the marker
//   after it and none in it, PostgresText::rewrite leaves it alone, and
//   serverText numbers the markers around it;
// - a text holding NUL is refused by both dialects with their message, since
//   neither store keeps it whole;
// - otherwise, read back through a real in-memory SQLite store as the dialect reads
//   rows, `select '<body>'` gives exactly the stored text.
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/ParameterList.h"
#include "data/datasets/PostgresDialect.h"
#include "data/datasets/PostgresText.h"
#include "data/datasets/SqlLiteral.h"
#include "data/datasets/SqlText.h"
#include "fuzz/FuzzKit.h"

namespace {
bool wellFormed(const QString &text) {
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString typed = FuzzKit::text(data, size);
    const QString stored = storableText(typed);
    FUZZ_CHECK(stored.size() == typed.size() && wellFormed(stored), typed);
    FUZZ_CHECK(storableText(stored) == stored, typed);
    FUZZ_CHECK(!wellFormed(typed) || stored == typed, typed);

    const QString body = sqlLiteralBody(typed);
    FUZZ_CHECK(QString(body).replace(QStringLiteral("''"), QStringLiteral("'")) == stored, typed);
    const QString literal = QLatin1Char('\'') + body + QLatin1Char('\'');

    // One literal, ending where it should.
    const QString code = SqlText::codeOnly(literal + QStringLiteral(" x"));
    for (int i = 0; i < literal.size(); ++i)
        FUZZ_CHECK(code[i] == QLatin1Char(' ') || code[i] == QLatin1Char('\''), typed);
    FUZZ_CHECK(code.endsWith(QLatin1String(" x")), typed);

    const ParsedStatement parsed = parseParameters(QStringLiteral("select ") + literal + QStringLiteral(" where :p"));
    FUZZ_CHECK(parsed.names == QStringList{QStringLiteral("p")}, typed);
    FUZZ_CHECK(parsed.sql == QStringLiteral("select ") + literal + QStringLiteral(" where ?"), typed);

    const QString statement = QStringLiteral("select ") + literal + QStringLiteral(" from t where a = ?");
    FUZZ_CHECK(PostgresText::rewrite(statement) == statement, typed);
    const bool nul = typed.contains(QChar(0));
    const QString marked = QStringLiteral("select ?, ") + literal + QStringLiteral(", ?");
    try {
        const QString server = PostgresDialect::serverText(marked);
        FUZZ_CHECK(!nul && server == QStringLiteral("select $1, ") + literal + QStringLiteral(", $2"), typed);
    } catch (const EDatabaseError &error) {
        FUZZ_CHECK(nul && error.message() == PostgresDialect::serverNulRefusal(),
                   typed + QStringLiteral("\n  refused: ") + error.message());
    }

    // What the store reads from the literal, read as the program reads rows.
    std::vector<ColumnData> columns;
    try {
        SqliteDialect().select(
            FuzzKit::memoryStore(), QStringLiteral("select ") + literal, {},
            [](const std::vector<ColumnInfo> &info) { return std::vector<FieldType>(info.size(), FieldType::Unknown); },
            columns);
        FUZZ_CHECK(!nul, typed);
    } catch (const EDatabaseError &error) {
        FUZZ_CHECK(nul && error.message() == SqliteDialect().nulRefusal(),
                   typed + QStringLiteral("\n  error: ") + error.message());
        return 0;
    }
    FUZZ_CHECK(columns.size() == 1 && columns[0].size() == 1, typed);
    const QString read = columns[0].get(0).toString();
    FUZZ_CHECK(read == stored, typed + QStringLiteral("\n  read: ") + read);
    return 0;
}
