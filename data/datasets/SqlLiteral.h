#pragma once
#include <QString>

/// User text placed inside an apostrophe-quoted literal of a statement: each
/// apostrophe is doubled, so the text reaches the store exactly as typed and
/// can never end the literal early.
inline QString sqlLiteralBody(const QString &text) {
    QString body = text;
    body.replace(QLatin1Char('\''), QStringLiteral("''"));
    return body;
}
