// SPDX-License-Identifier: GPL-3.0-or-later
// drevalon-stores: creates the database and the local car table of a fresh
// installation, empty or with demo data for trying the program out and for
// tests and benchmarks.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <utility>

#include <DrevalonBuild.h>

#include "Backup.h"
#include "Stations.h"
#include "StoreJob.h"
#include "platform/ConnectionText.h"
#include "platform/ProgramPath.h"
#include "platform/Workstation.h"

using StoreJob::fail;

namespace {

constexpr qint64 maxCustomers = 10'000'000;
constexpr qint64 maxArchive = 1'000'000'000;

const QString carTableName = QStringLiteral("drevalonParadox.db");
const QString sqlite = QStringLiteral("QSQLITE");
const QString postgres = QStringLiteral("QPSQL");

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

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drevalon-stores"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DREVALON_VERSION));
    const QString buildDriver = QString::fromUtf8(DrevalonBuild::storeDriver);
    // The program's own stores, found as the program finds them: a relative
    // setting from this tool's directory, which is the program's too.
    const QString buildAliasDir = ProgramPath::resolve(QString::fromUtf8(DrevalonBuild::aliasDir));
    const QString buildDatabase = buildDriver == sqlite
                                      ? ProgramPath::resolve(QString::fromUtf8(DrevalonBuild::database))
                                      : QString::fromUtf8(DrevalonBuild::database);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates Drevalon's two stores: the database (customers, order archive, current order, "
                       "shop requisites), as an SQLite file or as tables on a PostgreSQL server, and the local "
                       "car table drevalonParadox.db, always an SQLite file, in the alias directory. Both are "
                       "made together, empty unless demo data is asked for; on a server everything is one "
                       "transaction, so a failed run leaves the server as it was.\n"
                       "It also backs both up into one file, checks such a file and restores it.\n"
                       "Exit status: 0 done, 1 error (a refused backup file included), 2 a store exists already "
                       "and --force was not given, or the program holds the stores a restore would replace."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demoOption(
        QStringLiteral("demo"), QStringLiteral("Fill the stores with a fixed, realistic demo set: 40 customers with "
                                               "their cars, 300 archive lines over the last two years, a current order "
                                               "and the shop's requisites. The same arguments give the same rows, "
                                               "in SQLite and on a server alike."));
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
    const QCommandLineOption distinctOption(
        QStringLiteral("distinct"),
        QStringLiteral("Archive lines whose values hardly repeat, for benchmarks: a part number of its own on "
                       "every line, descriptions from over a million combinations of part, car, engine and years, "
                       "88 makers, prices in whole roubles, dates over the last six years; implies --demo. The "
                       "customers, cars, current order and requisites are those of the demo."));
    const QCommandLineOption driverOption(
        QStringLiteral("driver"),
        QStringLiteral("Where the database goes: QSQLITE (an SQLite file) or QPSQL (a PostgreSQL server). "
                       "Default: %1, as this build is set up.")
            .arg(buildDriver),
        QStringLiteral("name"));
    const QCommandLineOption databaseOption(
        QStringLiteral("database"),
        QStringLiteral("With QSQLITE, the database file to create. With QPSQL, libpq's connection text, e.g. "
                       "\"host=127.0.0.1 port=5432 dbname=drevalon user=drevalon_owner\"; the tables go to the first "
                       "schema of the search path (options='-c search_path=name' picks one). No password: "
                       "login is by peer or a password in ~/.pgpass. Default: %1")
            .arg(buildDatabase),
        QStringLiteral("path|connection"));
    const QCommandLineOption aliasOption(
        QStringLiteral("alias-dir"),
        QStringLiteral("The alias directory that receives %1. Default: %2").arg(carTableName, buildAliasDir),
        QStringLiteral("dir"));
    const QCommandLineOption forceOption(
        QStringLiteral("force"),
        QStringLiteral("Replace stores that exist already: the files, or on a server the tables customer, "
                       "orderAll, orderNow and IP of the schema, with whatever depends on them."));
    const QString buildBackupDir = ProgramPath::resolve(QString::fromUtf8(DrevalonBuild::backupDir));
    const QCommandLineOption backupOption(
        QStringLiteral("backup"),
        QStringLiteral("Instead of creating the stores, write one dated backup of both into the directory given "
                       "after the options (default: %1), checked before it takes its name, and keep the newest "
                       "--keep of them. The program may be running meanwhile.")
            .arg(buildBackupDir));
    const QCommandLineOption keepOption(
        QStringLiteral("keep"), QStringLiteral("With --backup: how many backups to keep, from 1 to 10000. Default 14."),
        QStringLiteral("n"));
    const QCommandLineOption verifyOption(QStringLiteral("verify"),
                                          QStringLiteral("Check a backup through without restoring it."),
                                          QStringLiteral("file"));
    const QCommandLineOption restoreOption(
        QStringLiteral("restore"),
        QStringLiteral("Put a backup back in place of the stores (--database, --alias-dir): refused while the "
                       "program holds them open, and over existing stores without --force; the backup is checked "
                       "first (one holding any table, column, index, trigger or view the program's stores do not is "
                       "refused), the stores are made from the program's own schema and only the backup's rows are "
                       "copied in, and a failed restore leaves the stores as they were."),
        QStringLiteral("file"));
    const QCommandLineOption asSuperuserOption(
        QStringLiteral("as-superuser"),
        QStringLiteral("With --restore on a server: restore even when connected as a superuser (refused otherwise; "
                       "the role that owns the tables should restore them)."));
    const QCommandLineOption grantOption(
        QStringLiteral("grant"),
        QStringLiteral("On a server: let the workstation role <role> read and write the rows of the tables and take "
                       "their keys, and nothing more (no dropping or altering them). Run as the tables' owner."),
        QStringLiteral("role"));
    const QString buildWorkstation = Workstation::name(QString::fromUtf8(DrevalonBuild::workstation));
    const QCommandLineOption upgradeOption(
        QStringLiteral("upgrade"),
        QStringLiteral("Bring a database made before each workstation kept its own current order up to it, in one "
                       "transaction: the order lines already there go to --workstation. Refused while the program "
                       "holds the database."));
    const QCommandLineOption stationsOption(
        QStringLiteral("stations"),
        QStringLiteral("List every workstation that has current order lines, with their number and sum."));
    const QCommandLineOption handOverOption(
        QStringLiteral("hand-over"),
        QStringLiteral("Give the current order lines of the workstation <name> (\"\": of none) to --workstation, "
                       "e.g. those of a retired counter."),
        QStringLiteral("name"));
    const QCommandLineOption workstationOption(
        QStringLiteral("workstation"),
        QStringLiteral("With --upgrade, --hand-over and --restore of a backup from before workstations kept their "
                       "own order lines: the workstation that gets the lines; with demo data, the one whose current "
                       "order it is. Default: %1, as the program names this one.")
            .arg(buildWorkstation),
        QStringLiteral("name"));
    parser.addOptions({demoOption, customersOption, archiveOption, distinctOption, driverOption, databaseOption,
                       aliasOption, forceOption, backupOption, keepOption, verifyOption, restoreOption, upgradeOption,
                       stationsOption, handOverOption, workstationOption, asSuperuserOption, grantOption});
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("With --backup: where the backup goes."),
                                 QStringLiteral("[dir]"));
    parser.process(app);
    // What the tool does instead of creating the stores: one of these at most.
    const QList<const QCommandLineOption *> modeOptions{
        &backupOption, &verifyOption, &restoreOption, &upgradeOption, &stationsOption, &handOverOption, &grantOption};
    QStringList modeNames;
    for (const QCommandLineOption *option : modeOptions)
        modeNames.append(QStringLiteral("--") + option->names().constFirst());
    const auto listed = [&modeNames](const QString &last) {
        return modeNames.mid(0, modeNames.size() - 1).join(QStringLiteral(", ")) + last + modeNames.constLast();
    };
    const auto modes = std::count_if(modeOptions.cbegin(), modeOptions.cend(),
                                     [&parser](const QCommandLineOption *option) { return parser.isSet(*option); });
    if (modes > 1)
        return fail(listed(QStringLiteral(" and ")) + QStringLiteral(" go one at a time"));
    const bool backup = parser.isSet(backupOption);
    if (parser.positionalArguments().size() > (backup ? 1 : 0))
        return fail(QStringLiteral("unexpected argument '%1'; see --help")
                        .arg(parser.positionalArguments().value(backup ? 1 : 0)));
    if (modes > 0 && (parser.isSet(demoOption) || parser.isSet(customersOption) || parser.isSet(archiveOption) ||
                      parser.isSet(distinctOption)))
        return fail(QStringLiteral("demo data is for creating stores, not with ") + listed(QStringLiteral(" or ")));
    if (parser.isSet(verifyOption))
        return Backup::verify(absolute(parser.value(verifyOption)));
    qint64 keep = 14;
    QString keepError;
    if (!readCount(parser, keepOption, 10000, &keep, &keepError) || keep < 1)
        return fail(keepError.isEmpty() ? QStringLiteral("--keep wants a whole number from 1 to 10000") : keepError);

    StoreJob::Request request;
    request.force = parser.isSet(forceOption);
    request.demo = parser.isSet(demoOption) || parser.isSet(customersOption) || parser.isSet(archiveOption) ||
                   parser.isSet(distinctOption);
    if (parser.isSet(distinctOption))
        request.archive = DemoData::Archive::Distinct;
    // An empty name is no name: the lines would belong to nobody.
    request.workstation =
        parser.isSet(workstationOption) ? Workstation::name(parser.value(workstationOption)) : buildWorkstation;
    QString error;
    if (!readCount(parser, customersOption, maxCustomers, &request.counts.customers, &error) ||
        !readCount(parser, archiveOption, maxArchive, &request.counts.archive, &error))
        return fail(error);
    if (request.counts.customers == 0 && !parser.isSet(archiveOption))
        request.counts.archive = 0;
    if (request.counts.customers == 0 && request.counts.archive > 0)
        return fail(QStringLiteral("archive lines need at least one customer"));

    const QString driver = parser.isSet(driverOption) ? parser.value(driverOption) : buildDriver;
    if (driver != sqlite && driver != postgres)
        return fail(QStringLiteral("the database can be made with QSQLITE or QPSQL, not with '%1'; "
                                   "choose with --driver")
                        .arg(driver));
    // The built-in database suits only the driver the build keeps it with: a
    // connection text is no file name, and a file name no connection text.
    QString database = parser.value(databaseOption);
    if (!parser.isSet(databaseOption)) {
        if (driver != buildDriver)
            return fail(
                QStringLiteral("this build keeps its database with %1, not %2; name the %3 with --database")
                    .arg(buildDriver, driver, driver == sqlite ? QStringLiteral("file") : QStringLiteral("server")));
        database = buildDatabase;
    }
    // A password on a command line is visible to every user of the machine.
    if (driver == postgres && ConnectionText::holdsPassword(database))
        return fail(QStringLiteral("the connection text must not hold a password; put it in ~/.pgpass"));
    const QString aliasDir = parser.isSet(aliasOption) ? parser.value(aliasOption) : buildAliasDir;
    if (database.trimmed().isEmpty() || aliasDir.isEmpty())
        return fail(QStringLiteral("the database and the alias directory must not be empty"));
    request.carTable = absolute(QDir(aliasDir).filePath(carTableName));

    if (modes > 0) {
        const Backup::Stores stores{driver, driver == postgres ? database : absolute(database), request.carTable};
        const QString &workstation = request.workstation;
        const QStringList dir = parser.positionalArguments();
        const std::pair<const QCommandLineOption *, std::function<int()>> modeJobs[] = {
            {&grantOption,
             [&] {
                 if (driver != postgres)
                     return fail(QStringLiteral("--grant is for a database on a server; a file's are its group's"));
                 return StoreJob::grantOnServer(database, parser.value(grantOption));
             }},
            {&upgradeOption, [&] { return Stations::upgrade(stores, workstation); }},
            {&stationsOption, [&] { return Stations::list(stores); }},
            {&handOverOption, [&] { return Stations::handOver(stores, parser.value(handOverOption), workstation); }},
            {&restoreOption,
             [&] {
                 return Backup::restore(stores, absolute(parser.value(restoreOption)),
                                        {request.force, workstation, parser.isSet(asSuperuserOption)});
             }},
            {&backupOption,
             [&] {
                 return Backup::take(stores, dir.isEmpty() ? buildBackupDir : absolute(dir.constFirst()), dir.isEmpty(),
                                     int(keep));
             }},
        };
        for (const auto &[option, job] : modeJobs)
            if (parser.isSet(*option))
                return job();
    }
    if (driver == postgres) {
        request.database = database;
        return StoreJob::createOnServer(request);
    }
    request.database = absolute(database);
    return StoreJob::createInFiles(request);
}
