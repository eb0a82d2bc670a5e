#pragma once
// SQLite's own calls where Qt's layer cannot do the work (scripts with
// triggers, ATTACH, the defensive settings): the handle under a QSQLITE
// connection, and sqlite3_exec with its complaint in words.
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

namespace SqliteHandle {

/// The handle of an open QSQLITE connection; null, with the reason, if there is none.
inline sqlite3 *of(const QSqlDatabase &db, QString *error) {
    const QVariant handle = db.isValid() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        if (sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.constData()))
            return raw;
    if (error)
        *error = QStringLiteral("the QSQLITE driver gives no SQLite handle");
    return nullptr;
}

/// Runs one statement or a whole script; false with SQLite's words otherwise.
inline bool exec(sqlite3 *db, const QByteArray &sql, QString *error) {
    char *message = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

} // namespace SqliteHandle
