#pragma once
// Text a user may type or paste that has broken programs before: quotes and
// comment marks that end or change a statement, parameter and pattern marks,
// characters a store or a document cannot keep, text longer than its column
// or than any field, and numbers no number type holds. One table, fed to
// every input of the program.
#include <QList>
#include <QLocale>
#include <QString>

namespace HostileText {
struct Value {
    QString name;
    QString text;
    /// The number texts are tried under the C locale too, where ',' is no
    /// decimal separator.
    bool cLocale = false;
};

/// A text of `length` characters, hostile throughout. One script only: a
/// field lays a long text out in runs of one script each.
inline QString filler(qsizetype length) {
    const QString piece = QStringLiteral("' or '1'='1 -- %_\\;/* */");
    return piece.repeated(length / piece.size() + 1).left(length);
}

/// The values for an input: `width` is the column it writes into (0: none),
/// for the value one character longer than it; a field that takes a number
/// gets the texts no number type holds, or holds in one locale only, too.
inline QList<Value> values(int width, bool number = false) {
    const QChar nul(0);
    QList<Value> out = {
        {QStringLiteral("apostrophe"), QStringLiteral("'")},
        {QStringLiteral("doubled apostrophe"), QStringLiteral("''")},
        {QStringLiteral("apostrophes at the ends"), QStringLiteral("'Ivan'")},
        {QStringLiteral("condition widened"), QStringLiteral("x' or '1'='1")},
        {QStringLiteral("statement ended"), QStringLiteral("'); delete from customer; --")},
        {QStringLiteral("backslash"), QStringLiteral("\\")},
        {QStringLiteral("backslashes and apostrophe"), QStringLiteral("a\\'b\\\\")},
        {QStringLiteral("parameter mark"), QStringLiteral(":name")},
        {QStringLiteral("double colon"), QStringLiteral("::")},
        {QStringLiteral("question mark"), QStringLiteral("?")},
        {QStringLiteral("line comment"), QStringLiteral("--")},
        {QStringLiteral("semicolon"), QStringLiteral(";")},
        {QStringLiteral("block comment"), QStringLiteral("/* */")},
        {QStringLiteral("percent"), QStringLiteral("%")},
        {QStringLiteral("underscore"), QStringLiteral("_")},
        {QStringLiteral("quotes and brackets"), QStringLiteral("\"[x]\" `y`")},
        {QStringLiteral("markup"), QStringLiteral("<b>&amp;{{opl}}</b>")},
        {QStringLiteral("NUL"), QStringLiteral("a") + nul + QStringLiteral("b")},
        {QStringLiteral("control characters"), QStringLiteral("a\tb\r\nc\x01\x1b\x7f")},
        {QStringLiteral("right to left"), QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u202E\u0639\u0631\u0628\u064A")},
        {QStringLiteral("emoji"), QStringLiteral("\U0001F600\U0001F697")},
        {QStringLiteral("lone surrogate"), QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")},
        {QStringLiteral("1 MB"), filler(1 << 20)},
    };
    const QList<Value> numbers = {
        {QStringLiteral("nan"), QStringLiteral("nan")},
        {QStringLiteral("inf"), QStringLiteral("inf")},
        {QStringLiteral("1e400"), QStringLiteral("1e400")},
        {QStringLiteral("20 digits"), QStringLiteral("12345678901234567890")},
        {QStringLiteral("1,5"), QStringLiteral("1,5")},
        {QStringLiteral("1.5"), QStringLiteral("1.5")},
        {QStringLiteral("1,5 C locale"), QStringLiteral("1,5"), true},
        {QStringLiteral("1.5 C locale"), QStringLiteral("1.5"), true},
    };
    if (number)
        out += numbers;
    if (width > 0) {
        // Ending in a character: blanks past a fixed width are padding to some stores.
        QString longer = filler(width + 1);
        if (longer.back() == QLatin1Char(' '))
            longer.back() = QLatin1Char('_');
        out.append({QStringLiteral("one longer than the column"), longer});
    }
    return out;
}

/// Sets the locale a value is tried under for as long as it lives; the
/// program's own (Russian) afterwards.
class LocaleFor {
public:
    explicit LocaleFor(const Value &value) {
        QLocale::setDefault(value.cLocale ? QLocale::c() : QLocale(QLocale::Russian, QLocale::Russia));
    }
    ~LocaleFor() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    LocaleFor(const LocaleFor &) = delete;
    LocaleFor &operator=(const LocaleFor &) = delete;
};
} // namespace HostileText
