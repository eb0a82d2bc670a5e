// SPDX-License-Identifier: GPL-3.0-or-later
// The database as an SQLite file: both stores are built under temporary names
// and take their own only when both are complete.

#include <QDir>
#include <QFileInfo>

#include "DemoData.h"
#include "SqliteDemoTarget.h"
#include "StoreCreator.h"
#include "StoreJob.h"

namespace StoreJob {

namespace {

// The path with symbolic links resolved as far as it exists yet, so two names
// of one file are seen to be the same before either file is made.
QString resolved(const QString &path) {
    QString existing = path;
    QString rest;
    while (!QFileInfo::exists(existing) && existing != QDir::rootPath()) {
        const QFileInfo info(existing);
        rest = rest.isEmpty() ? info.fileName() : info.fileName() + QLatin1Char('/') + rest;
        existing = info.absolutePath();
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return rest.isEmpty() ? canonical : QDir(canonical).filePath(rest);
}

bool samePlace(const QString &a, const QString &b) { return a == b || resolved(a) == resolved(b); }

} // namespace

int createInFiles(const Request &request) {
    if (samePlace(request.database, request.carTable))
        return fail(QStringLiteral("the database and the car table cannot both be %1").arg(request.database));
    QStringList existing;
    for (const QString &path : {request.database, request.carTable}) {
        if (QFileInfo(path).isDir())
            return fail(QStringLiteral("%1 is a directory").arg(path));
        if (StoreCreator::occupied(path))
            existing.append(path);
    }
    if (!existing.isEmpty() && !request.force)
        return fail(QStringLiteral("not overwriting the existing %1 (--force replaces them)")
                        .arg(existing.join(QStringLiteral(", "))),
                    Refused);

    for (const QString &path : {request.database, request.carTable}) {
        const QString dir = QFileInfo(path).absolutePath();
        if (!StoreCreator::makeDirectory(dir))
            return fail(QStringLiteral("cannot create the directory %1").arg(dir));
    }

    QString error;
    StoreCreator databaseStore(request.database, QStringLiteral(":/schema/database.sqlite.sql"));
    StoreCreator carStore(request.carTable, QStringLiteral(":/schema/drevalonParadox.sqlite.sql"));
    if (!databaseStore.create(&error) || !carStore.create(&error))
        return fail(error);
    DemoData demo(request.counts, QDate::currentDate(), request.archive, request.workstation);
    if (request.demo) {
        SqliteDemoTarget database(databaseStore.database());
        SqliteDemoTarget cars(carStore.database());
        if (!demo.write(database, cars, &error))
            return fail(error);
    }
    // Both are readied before either takes its name, so the two renames follow
    // each other at once: a run killed in between is all but ruled out.
    if (!databaseStore.prepareInstall(request.force, &error) || !carStore.prepareInstall(request.force, &error) ||
        !databaseStore.completeInstall(&error) || !carStore.completeInstall(&error))
        return fail(error);

    report(request.database, request, request.demo ? &demo.written() : nullptr);
    return Created;
}

} // namespace StoreJob
