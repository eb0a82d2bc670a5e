// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <libpq-fe.h>

// The rows of a server archive (pg_dump's custom format) held in a backup.
// An archive comes from outside, so nothing in it is ever run: its table of
// contents may hold only the entries pg_dump makes of the program's tables,
// pg_restore only prints their rows and sequence values, and those are read
// here and sent under statements this tool writes itself.
namespace ArchiveRows {

struct Entry {
    QString id;   // pg_restore's dump id, for --use-list
    QString type; // TABLE DATA, SEQUENCE SET, ...
    QString line; // the whole line of the listing, for messages
};

// The archive's table of contents, as pg_restore --list gives it.
bool list(const QString &archive, QList<Entry> *entries, QString *error);
// The first entry that the program's tables in `schema` would not give, or
// an empty text; a lack of any table's rows is named as well.
QString foreignEntry(const QList<Entry> &entries, const QString &schema);
// Loads the rows and sequence values of the archive into the program's tables
// in `schema`, made already and empty, on `connection` inside its
// transaction. Order lines from before workstations kept their own go to
// `workstation`.
bool load(PGconn *connection, const QString &schema, const QString &archive, const QList<Entry> &entries,
          const QString &workstation, QString *error);

} // namespace ArchiveRows
