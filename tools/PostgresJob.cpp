// SPDX-License-Identifier: GPL-3.0-or-later
// The database on a PostgreSQL server: old tables dropped, schema and demo
// rows written in one transaction; the car table, still a local file, takes
// its name only once the server has committed.

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include "DemoData.h"
#include "PostgresDemoTarget.h"
#include "PostgresStore.h"
#include "SqliteDemoTarget.h"
#include "StoreCreator.h"
#include "StoreJob.h"

namespace StoreJob {

int createOnServer(const Request &request) {
    if (QFileInfo(request.carTable).isDir())
        return fail(QStringLiteral("%1 is a directory").arg(request.carTable));

    QString error;
    PostgresStore server(request.database, QStringLiteral(":/schema/database.postgres.sql"));
    QStringList tables;
    if (!server.open(&error) || !server.existingTables(&tables, &error))
        return fail(error);
    const QString place = QStringLiteral("schema %1 of the server (%2)").arg(server.schema(), request.database);
    QStringList existing;
    if (!tables.isEmpty())
        existing.append(QStringLiteral("tables %1 in %2").arg(tables.join(QStringLiteral(", ")), place));
    if (StoreCreator::occupied(request.carTable))
        existing.append(request.carTable);
    if (!existing.isEmpty() && !request.force)
        return fail(QStringLiteral("not overwriting the existing %1 (--force replaces them)")
                        .arg(existing.join(QStringLiteral(", "))),
                    Refused);

    // The server first: a refused drop or schema leaves nothing behind here either.
    if (!server.create(request.force, &error))
        return fail(error);
    const QString dir = QFileInfo(request.carTable).absolutePath();
    if (!StoreCreator::makeDirectory(dir))
        return fail(QStringLiteral("cannot create the directory %1").arg(dir));
    StoreCreator carStore(request.carTable, QStringLiteral(":/schema/drevalonParadox.sqlite.sql"));
    if (!carStore.create(&error))
        return fail(error);
    DemoData demo(request.counts, QDate::currentDate(), request.archive, request.workstation);
    if (request.demo) {
        PostgresDemoTarget database(server.connection());
        SqliteDemoTarget cars(carStore.database());
        if (!demo.write(database, cars, &error))
            return fail(error);
    }
    if (!server.commit(&error))
        return fail(error);
    if (!carStore.install(request.force, &error))
        return fail(QStringLiteral("the database in %1 is made, but the car table is not: %2").arg(place, error));

    report(QStringLiteral("in %1").arg(place), request, request.demo ? &demo.written() : nullptr);
    return Created;
}

int grantOnServer(const QString &database, const QString &role) {
    if (role.isEmpty())
        return fail(QStringLiteral("--grant wants the name of the workstation role"));
    QString error;
    PostgresStore server(database, QStringLiteral(":/schema/database.postgres.sql"));
    QStringList tables;
    if (!server.open(&error) || !server.existingTables(&tables, &error))
        return fail(error);
    if (tables != PostgresStore::tables())
        return fail(
            QStringLiteral("schema %1 does not hold the program's tables; create them first").arg(server.schema()));
    if (!server.grant(role, &error) || !server.commit(&error))
        return fail(error);
    QTextStream(stdout) << "drevalon-stores: the role " << role << " may read and write the rows of "
                        << PostgresStore::tables().join(QStringLiteral(", ")) << " in schema " << server.schema()
                        << " and take their keys" << Qt::endl;
    return Created;
}

} // namespace StoreJob
