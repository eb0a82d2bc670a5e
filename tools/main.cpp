// SPDX-License-Identifier: GPL-3.0-or-later
// drevalon-stores: creates the database and the local car table of a fresh
// installation, empty or with demo data for trying the program out and for
// tests and benchmarks.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <DrevalonBuild.h>

#include "DemoData.h"
#include "SqliteDemoTarget.h"
#include "StoreCreator.h"

namespace {

enum ExitCode { Created = 0, Failed = 1, Refused = 2 };

constexpr qint64 maxCustomers = 10'000'000;
constexpr qint64 maxArchive = 1'000'000'000;

const QString carTableName = QStringLiteral("drevalonParadox.db");

struct Request {
    QString database;
    QString carTable;
    bool force = false;
    bool demo = false;
    DemoData::Counts counts;
};

int fail(const QString &message, int code = Failed) {
    QTextStream(stderr) << "drevalon-stores: " << message << Qt::endl;
    return code;
}

QString absolute(const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool readCount(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 max, qint64 *count,
               QString *error) {
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok || value < 0 || value > max) {
        *error = QStringLiteral("--%1 wants a whole number from 0 to %2, not '%3'")
                     .arg(option.names().constFirst())
                     .arg(max)
                     .arg(parser.value(option));
        return false;
    }
    *count = value;
    return true;
}

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

QString summary(const Request &request, const DemoData::Written *written) {
    QString text =
        QStringLiteral("created the database %1 and the car table %2").arg(request.database, request.carTable);
    if (!written)
        return text + QStringLiteral(" (schema only)");
    return text + QStringLiteral(" (%1 customers, %2 cars, %3 archive lines, "
                                 "%4 current order lines, %5 IP row)")
                      .arg(written->customers)
                      .arg(written->cars)
                      .arg(written->archive)
                      .arg(written->current)
                      .arg(written->shops);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drevalon-stores"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DREVALON_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates Drevalon's two SQLite stores: the database (customers, order archive, "
                       "current order, shop requisites) and the local car table drevalonParadox.db in the "
                       "alias directory. Both are made together, empty unless demo data is asked for.\n"
                       "Exit status: 0 created, 1 error, 2 a store exists already and --force was not "
                       "given."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demoOption(
        QStringLiteral("demo"), QStringLiteral("Fill the stores with a fixed, realistic demo set: 40 customers with "
                                               "their cars, 300 archive lines over the last two years, a current order "
                                               "and the shop's requisites. The same arguments give the same rows."));
    const QCommandLineOption customersOption(
        QStringLiteral("customers"),
        QStringLiteral("Demo data with <n> customers (about 1.5 cars each); implies --demo. "
                       "Default 40."),
        QStringLiteral("n"));
    const QCommandLineOption archiveOption(
        QStringLiteral("archive"),
        QStringLiteral("Demo data with <n> archive lines; implies --demo. Default 300, or 0 "
                       "when there are no customers."),
        QStringLiteral("n"));
    const QCommandLineOption databaseOption(
        QStringLiteral("database"),
        QStringLiteral("The database file to create. Default: %1").arg(QString::fromUtf8(DrevalonBuild::database)),
        QStringLiteral("path"));
    const QCommandLineOption aliasOption(QStringLiteral("alias-dir"),
                                         QStringLiteral("The alias directory that receives %1. Default: %2")
                                             .arg(carTableName, QString::fromUtf8(DrevalonBuild::aliasDir)),
                                         QStringLiteral("dir"));
    const QCommandLineOption forceOption(QStringLiteral("force"), QStringLiteral("Replace stores that exist already."));
    parser.addOptions({demoOption, customersOption, archiveOption, databaseOption, aliasOption, forceOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("unexpected argument '%1'; see --help").arg(parser.positionalArguments().constFirst()));

    Request request;
    request.force = parser.isSet(forceOption);
    request.demo = parser.isSet(demoOption) || parser.isSet(customersOption) || parser.isSet(archiveOption);
    QString error;
    if (!readCount(parser, customersOption, maxCustomers, &request.counts.customers, &error) ||
        !readCount(parser, archiveOption, maxArchive, &request.counts.archive, &error))
        return fail(error);
    if (request.counts.customers == 0 && !parser.isSet(archiveOption))
        request.counts.archive = 0;
    if (request.counts.customers == 0 && request.counts.archive > 0)
        return fail(QStringLiteral("archive lines need at least one customer"));

    // The built-in database is a file only when this build keeps it in SQLite;
    // otherwise it is a server connection this tool must not mistake for a path.
    QString database = parser.value(databaseOption);
    if (!parser.isSet(databaseOption)) {
        if (qstrcmp(DrevalonBuild::storeDriver, "QSQLITE") != 0)
            return fail(QStringLiteral("this build keeps its database with %1, not in an SQLite "
                                       "file; name the file with --database")
                            .arg(QString::fromUtf8(DrevalonBuild::storeDriver)));
        database = QString::fromUtf8(DrevalonBuild::database);
    }
    const QString aliasDir =
        parser.isSet(aliasOption) ? parser.value(aliasOption) : QString::fromUtf8(DrevalonBuild::aliasDir);
    if (database.isEmpty() || aliasDir.isEmpty())
        return fail(QStringLiteral("the database path and the alias directory must not be empty"));
    request.database = absolute(database);
    request.carTable = absolute(QDir(aliasDir).filePath(carTableName));

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
        if (!QDir().mkpath(dir))
            return fail(QStringLiteral("cannot create the directory %1").arg(dir));
    }

    StoreCreator databaseStore(request.database, QStringLiteral(":/schema/database.sqlite.sql"));
    StoreCreator carStore(request.carTable, QStringLiteral(":/schema/drevalonParadox.sqlite.sql"));
    if (!databaseStore.create(&error) || !carStore.create(&error))
        return fail(error);
    DemoData demo(request.counts, QDate::currentDate());
    if (request.demo) {
        SqliteDemoTarget database(databaseStore.database());
        SqliteDemoTarget cars(carStore.database());
        if (!demo.write(database, cars, &error))
            return fail(error);
    }
    if (!databaseStore.install(request.force, &error) || !carStore.install(request.force, &error))
        return fail(error);

    QTextStream(stdout) << "drevalon-stores: " << summary(request, request.demo ? &demo.written() : nullptr)
                        << Qt::endl;
    return Created;
}
