// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

// The backup file itself: an SQLite file with the stores' tables, a table
// drevalon_backup of what it is (key, value) and, for a server, the table
// drevalon_backup_dump holding pg_dump's archive as one blob.
namespace BackupFile {

inline constexpr int formatVersion = 1;
// SQLite's application id (the header's bytes 68-71, big-endian) tells a
// finished backup from the file it is made from, which --verify refuses.
inline constexpr int applicationIdOffset = 68;
inline constexpr int finishedId = 0x44525642;   // "DRVB"
inline constexpr int unfinishedId = 0x44525650; // "DRVP"

// One SQLite connection, closed with its owner.
class Connection {
public:
    Connection() = default;
    ~Connection() { sqlite3_close_v2(m_db); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    bool open(const QString &path, int flags, QString *error);
    sqlite3 *get() const { return m_db; }
    QString lastError() const;
    // Runs statements that give no rows.
    bool exec(const QString &sql, QString *error) const;
    // The first column of every row, as text.
    bool column(const QString &sql, QStringList *values, QString *error) const;
    // Every row, each column as text.
    bool rows(const QString &sql, QList<QStringList> *values, QString *error) const;

private:
    sqlite3 *m_db = nullptr;
};

// SQLite's quoting of a name, and of a text.
QString quoted(const QString &name);
QString literal(const QString &text);
// The tables and columns the program needs, as "table(col,...)" in lower
// case, one per table, joined by ';' in table order.
QString fingerprint(const Connection &db, const QStringList &tables, QString *error);
// The program's tables of each store, from the schema it ships.
QStringList databaseTables();
QStringList carTables();
// The fingerprint of the shipped schema, for both stores.
QString expectedFingerprint();
// Every object of a file but the backup's own, one line each, sorted: a
// table as the columns SQLite reads, an index, trigger or view as its text.
bool objects(const Connection &db, QStringList *described, QString *error);
// Whether those are the objects of the program's stores (for `driver`: the
// database and the car table, or a server's backup: the car table alone), as
// this version makes them or as an earlier one did; else what differs.
bool knownObjects(const QStringList &found, const QString &driver, QString *difference);
// Whether a backup's tables are the program's: as they are now, or as an
// earlier version made them that this one still opens.
bool knownFingerprint(const QString &found);
// A digest of every row of every table but drevalon_backup, so a changed
// value that leaves SQLite's structure sound is still noticed.
bool contentDigest(const Connection &db, QByteArray *digest, QString *error);

// What a sound backup says about itself.
struct Facts {
    QString driver; // of the database it holds
    QString madeAt; // ISO date and time
    QString schema; // on a server: the schema its tables came from
    QStringList carTables;
};
// Everything --verify checks; the message says why a file is refused. The
// backup's own run also checks its file before it is marked finished.
bool check(const QString &path, Facts *facts, QString *error, bool unfinished = false);
// Writes the server archive held in the file to `target`.
bool extractDump(const Connection &db, const QString &target, QString *error);

// fsync of a file or a directory.
bool syncPath(const QString &path, QString *error);

} // namespace BackupFile
