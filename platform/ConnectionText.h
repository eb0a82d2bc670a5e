#pragma once
#include <QList>
#include <QPair>
#include <QString>

#include <libpq-fe.h>

/// A server's connection text (key=value words or a URI) as the client
/// library reads it. No password is ever kept in a build, a command line or a
/// box: a text that holds one is refused, and never shown whole.
/// Header-only, so the program and the store tool read it alike.
namespace ConnectionText {

/// Each word libpq reads from the text with its value and the environment
/// variable that carries the same (empty when there is none); false when it
/// cannot be read.
struct Word {
    QString key, value, variable;
};
inline bool words(const QString &text, QList<Word> *found) {
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(text.toUtf8().constData(), &message);
    PQfreemem(message);
    if (!options)
        return false;
    found->clear();
    for (const PQconninfoOption *option = options; option->keyword; ++option)
        if (option->val && *option->val)
            found->append({QString::fromUtf8(option->keyword), QString::fromUtf8(option->val),
                           option->envvar ? QString::fromUtf8(option->envvar) : QString()});
    PQconninfoFree(options);
    return true;
}

/// Whether the text holds a password (a URI's "user:secret@" too).
inline bool holdsPassword(const QString &text) {
    QList<Word> found;
    if (!words(text, &found))
        return text.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
               text.contains(QLatin1Char('@')); // unreadable: take no chance
    for (const Word &word : found)
        if (word.key == QLatin1String("password"))
            return true;
    return false;
}

/// libpq's quoting of a value in a key=value text.
inline QString quoted(const QString &value) {
    QString body = value;
    body.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    const bool plain = !body.isEmpty() && !body.contains(QLatin1Char(' ')) && body == value;
    return plain ? body : QLatin1Char('\'') + body + QLatin1Char('\'');
}

/// The text with `key` set to `value`, in place of any it had; empty when the
/// text cannot be read.
inline QString withWord(const QString &text, const QString &key, const QString &value) {
    QList<Word> found;
    if (!words(text, &found))
        return QString();
    QStringList parts;
    for (const Word &word : found)
        if (word.key != key)
            parts.append(word.key + QLatin1Char('=') + quoted(word.value));
    parts.append(key + QLatin1Char('=') + quoted(value));
    return parts.join(QLatin1Char(' '));
}

/// The text as it may be shown: without its password.
inline QString shown(const QString &text) {
    if (!holdsPassword(text))
        return text;
    QList<Word> found;
    if (!words(text, &found))
        return QStringLiteral("(a connection text holding a password)");
    QStringList parts;
    for (const Word &word : found)
        if (word.key != QLatin1String("password"))
            parts.append(word.key + QLatin1Char('=') + quoted(word.value));
    return parts.join(QLatin1Char(' '));
}

} // namespace ConnectionText
