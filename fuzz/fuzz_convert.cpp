// The Convert(type, value, style) function the SQLite dialect registers,
// called through bound parameters on a real in-memory store.
//
// The input is three lines: the type, the style and the value (the rest of the
// input). Each starts with its kind: i integer, r real, t text, b blob (the
// bytes that follow), n null, c the text SQLite's char(n) makes (one
// character); without a known kind the line is text.
//
// Properties: never a crash; a null value gives null; a result longer than
// the store's length limit in bytes (a width of characters of up to four
// bytes each) is refused with SQLite's "too big" error; otherwise the result
// is text, a date the store keeps ("yyyy-mm-dd", with " hh:mm:ss" of digits) in the
// style's spelling and any other value as SQLite spells it; and a fixed width
// (a positive integer, or the code of a one-character text) gives exactly
// that many characters as SQLite counts them: the unfixed result cut or
// padded with blanks.
#include "fuzz/FuzzKit.h"

#include <QByteArray>
#include <QList>

namespace {
// Small enough that a fuzzed width costs little, large enough for any statement.
constexpr int lengthLimit = 100000;

struct Argument {
    char kind = 't';
    QByteArray payload;
};

Argument argumentOf(const QByteArray &line) {
    if (!line.isEmpty() && QByteArray("irtbnc").contains(line.front()))
        return {line.front(), line.mid(1)};
    return {'t', line};
}

QByteArray utf8Of(qint64 code) {
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD; // as SQLite's char() does
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1).toUtf8();
}

void bind(sqlite3_stmt *statement, int index, const Argument &argument) {
    bool ok = false;
    switch (argument.kind) {
    case 'i': sqlite3_bind_int64(statement, index, argument.payload.trimmed().toLongLong(&ok)); break;
    case 'r': sqlite3_bind_double(statement, index, argument.payload.trimmed().toDouble(&ok)); break;
    case 'n': sqlite3_bind_null(statement, index); break;
    case 'b':
        sqlite3_bind_blob(statement, index, argument.payload.constData(), static_cast<int>(argument.payload.size()),
                          SQLITE_TRANSIENT);
        break;
    case 'c': {
        const QByteArray text = utf8Of(argument.payload.trimmed().toLongLong(&ok));
        sqlite3_bind_text(statement, index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        sqlite3_bind_text(statement, index, argument.payload.constData(), static_cast<int>(argument.payload.size()),
                          SQLITE_TRANSIENT);
    }
}

// The code of the one character a text holds (strict UTF-8), else 0.
qint64 oneCharacter(const QByteArray &text) {
    const QString decoded = FuzzKit::utf8(text.constData(), text.size());
    const QList<uint> codes = decoded.toUcs4();
    if (codes.size() != 1 || decoded.toUtf8() != text || codes.front() == 0xFFFD)
        return text == QByteArray("\xEF\xBF\xBD") ? 0xFFFD : 0;
    return codes.front();
}

// The width asked for: the integer, or the code of the one character of a text.
qint64 widthOf(const Argument &argument) {
    bool ok = false;
    switch (argument.kind) {
    case 'i': return argument.payload.trimmed().toLongLong(&ok);
    case 'c': return oneCharacter(utf8Of(argument.payload.trimmed().toLongLong(&ok)));
    case 't': return oneCharacter(argument.payload);
    default: return 0;
    }
}

bool isUtf8(const QByteArray &bytes) { return FuzzKit::utf8(bytes.constData(), bytes.size()).toUtf8() == bytes; }

// Characters as SQLite's length() counts them.
qint64 characters(const QByteArray &bytes) {
    qint64 count = 0;
    for (const char b : bytes)
        count += (static_cast<unsigned char>(b) & 0xC0) != 0x80;
    return count;
}

// The first `count` characters of valid UTF-8.
QByteArray firstCharacters(const QByteArray &bytes, qint64 count) {
    int end = 0;
    for (qint64 seen = 0; end < bytes.size(); ++end) {
        if ((static_cast<unsigned char>(bytes[end]) & 0xC0) != 0x80 && seen++ == count)
            break;
    }
    return bytes.left(end);
}

int digits(const QByteArray &text, int at, int count) {
    int value = 0;
    for (int i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The unfixed result: a stored date in the style's spelling, else the value as text.
QByteArray expectedText(const QByteArray &value, qint64 style) {
    if (value.size() < 10 || value[4] != '-' || value[7] != '-')
        return value;
    const int year = digits(value, 0, 4), month = digits(value, 5, 2), day = digits(value, 8, 2);
    if (year < 0 || month < 1 || day < 1)
        return value;
    auto two = [](int n) { return QByteArray::number(n).rightJustified(2, '0'); };
    const QByteArray yyyy = QByteArray::number(year).rightJustified(4, '0');
    switch (style) {
    case 104: return two(day) + '.' + two(month) + '.' + yyyy;
    case 103: return two(day) + '/' + two(month) + '/' + yyyy;
    case 102: return yyyy + '.' + two(month) + '.' + two(day);
    case 23: return value.left(10);
    case 120: {
        const bool hasTime = value.size() >= 19 && value[10] == ' ' && digits(value, 11, 2) >= 0 && value[13] == ':' &&
                             digits(value, 14, 2) >= 0 && value[16] == ':' && digits(value, 17, 2) >= 0;
        return hasTime ? value.left(19) : value.left(10) + " 00:00:00";
    }
    default: return value;
    }
}

sqlite3_stmt *prepared() {
    static sqlite3_stmt *statement = [] {
        sqlite3 *db = FuzzKit::handleOf(FuzzKit::memoryStore());
        sqlite3_limit(db, SQLITE_LIMIT_LENGTH, lengthLimit);
        sqlite3_stmt *s = nullptr;
        const char *sql = "select Convert(?1, ?3, ?2), Convert(null, ?3, ?2), cast(?3 as text), cast(?2 as integer)";
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "cannot prepare: %s\n", sqlite3_errmsg(db));
            std::abort();
        }
        return s;
    }();
    return statement;
}

QByteArray columnText(sqlite3_stmt *statement, int column) {
    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return QByteArray(text ? text : "", sqlite3_column_bytes(statement, column));
}

// The bytes the result needs, read apart from Convert: the limit counts bytes,
// and a fixed width counts characters of up to four bytes each.
qint64 neededBytes(const Argument &value, const Argument &style, qint64 asked) {
    static sqlite3_stmt *statement = [] {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(FuzzKit::handleOf(FuzzKit::memoryStore()),
                               "select cast(?1 as text), cast(?2 as integer)", -1, &s, nullptr) != SQLITE_OK)
            std::abort();
        return s;
    }();
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    bind(statement, 1, value);
    bind(statement, 2, style);
    if (sqlite3_step(statement) != SQLITE_ROW)
        std::abort();
    const QByteArray unfixed = expectedText(columnText(statement, 0), sqlite3_column_int64(statement, 1));
    sqlite3_reset(statement);
    if (asked <= 0)
        return unfixed.size();
    if (!isUtf8(unfixed))
        return asked * 4; // as many as it could take
    const QByteArray kept = firstCharacters(unfixed, asked);
    return kept.size() + (asked - characters(kept));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> lines = input.split('\n');
    const Argument width = argumentOf(lines.value(0));
    const Argument style = argumentOf(lines.value(1));
    const Argument value = argumentOf(input.mid(lines.value(0).size() + lines.value(1).size() + 2));
    const QString shown = QString::fromLatin1(input.toPercentEncoding(" \n"));

    sqlite3_stmt *statement = prepared();
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    bind(statement, 1, width);
    bind(statement, 2, style);
    bind(statement, 3, value);
    const int rc = sqlite3_step(statement);
    const qint64 asked = widthOf(width);
    if (rc != SQLITE_ROW) {
        const int error = sqlite3_errcode(sqlite3_db_handle(statement));
        FUZZ_CHECK(value.kind != 'n' && error == SQLITE_TOOBIG && neededBytes(value, style, asked) > lengthLimit,
                   shown + QStringLiteral("\n  error: ") +
                       QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement))));
        sqlite3_reset(statement);
        return 0;
    }
    if (value.kind == 'n') {
        FUZZ_CHECK(sqlite3_column_type(statement, 0) == SQLITE_NULL, shown);
        return 0;
    }
    FUZZ_CHECK(asked <= lengthLimit, shown);
    FUZZ_CHECK(sqlite3_column_type(statement, 0) == SQLITE_TEXT, shown);
    const QByteArray result = columnText(statement, 0);
    const QByteArray unfixed = columnText(statement, 1);
    const QByteArray valueText = columnText(statement, 2);
    const qint64 styleNumber = sqlite3_column_int64(statement, 3);
    FUZZ_CHECK(unfixed == expectedText(valueText, styleNumber),
               shown + QStringLiteral("\n  result: ") + QString::fromLatin1(unfixed.toPercentEncoding(" ")));
    if (asked > 0) {
        FUZZ_CHECK(characters(result) == asked,
                   shown + QStringLiteral("\n  result: ") + QString::fromLatin1(result.toPercentEncoding(" ")));
        if (isUtf8(unfixed)) {
            QByteArray expected = firstCharacters(unfixed, asked);
            expected += QByteArray(asked - characters(expected), ' ');
            FUZZ_CHECK(result == expected,
                       shown + QStringLiteral("\n  result: ") + QString::fromLatin1(result.toPercentEncoding(" ")));
        }
    } else {
        FUZZ_CHECK(result == unfixed || asked == 0, shown);
    }
    sqlite3_reset(statement);
    return 0;
}
