// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "DemoData.h"

// What drevalon-stores was asked to make, and the two ways of making it.
namespace StoreJob {

enum ExitCode { Created = 0, Failed = 1, Refused = 2 };

struct Request {
    // An SQLite file's absolute path, or a server's connection text.
    QString database;
    // The car table's absolute path: always a local SQLite file.
    QString carTable;
    bool force = false;
    bool demo = false;
    DemoData::Counts counts;
    DemoData::Archive archive = DemoData::Archive::Catalogue;
    // Whose the demo's current order is.
    QString workstation;
};

// Prints the message and gives the exit code.
int fail(const QString &message, int code = Failed);
// Prints what was made; database says where the database went.
void report(const QString &database, const Request &request, const DemoData::Written *written);

// The database in an SQLite file beside the car table.
int createInFiles(const Request &request);
// The database on a PostgreSQL server, in one transaction.
int createOnServer(const Request &request);
// Gives a workstation role what the program does on the server's tables.
int grantOnServer(const QString &database, const QString &role);

} // namespace StoreJob
