// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Backups of both stores, one file each: an SQLite file holding the database
// (or, for a server, its pg_dump archive), the car table and a small table
// drevalon_backup that says what the file is. Exit codes as StoreJob's.
namespace Backup {

struct Stores {
    QString driver;   // QSQLITE or QPSQL
    QString database; // an SQLite file's absolute path, or a server's connection text
    QString carTable; // always a local SQLite file
};

// Writes a new backup into dir and keeps the newest `keep`; a missing dir is
// made only when it is the build's default.
int take(const Stores &stores, const QString &dir, bool defaultDir, int keep);
// Checks a backup through and through without touching the stores.
int verify(const QString &file);
struct Restore {
    bool force = false;       // over existing stores
    QString workstation;      // gets the lines of a backup from before each workstation kept its own
    bool asSuperuser = false; // a server's restore by a superuser, refused unless asked
};
// Puts a backup back in place of the stores, all of it or nothing: the
// stores made anew from the shipped schema, the backup's rows copied in.
int restore(const Stores &stores, const QString &file, const Restore &how);

} // namespace Backup
