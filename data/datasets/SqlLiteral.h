#pragma once
#include <QString>

/// Text as a store can keep it: a UTF-16 surrogate without its partner has no
/// encoding in the store, and a NUL character no place in its text (PostgreSQL
/// refuses it, or the client library cuts a value short at it, and it ends an
/// SQLite statement in the middle of a literal), so each becomes the
/// replacement character; everything else is kept exactly. Every value written
/// and every literal searched goes through this, so what was stored is what a
/// search finds.
inline QString storableText(const QString &text) {
    QString out;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c.isSurrogate() || c.isNull()) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

/// User text placed inside an apostrophe-quoted literal of a statement: each
/// apostrophe is doubled, so the text reaches the store exactly as typed and
/// can never end the literal early.
inline QString sqlLiteralBody(const QString &text) {
    QString body = storableText(text);
    body.replace(QLatin1Char('\''), QStringLiteral("''"));
    return body;
}
