// SPDX-License-Identifier: GPL-3.0-or-later
// drevalon-stores --backup, --verify and --restore.
//
// A backup is built under a name no backup ever has (".drevalon-….partial",
// hidden and of another ending) and marked unfinished inside, checked as
// --verify checks it, and only then copied, marked finished and written to
// disk, into the file drevalon-<date>-<time>.backup (see finish()): a run
// killed at any moment leaves either the whole new file or nothing that
// --verify takes for a backup.
// A restore checks the backup, builds both stores beside their targets,
// checks them and only then renames them into place.

#include "Backup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QTextStream>
#include <QThread>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libpq-fe.h>
#include <memory>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ArchiveRows.h"
#include "BackupFile.h"
#include "PgCommand.h"
#include "PostgresStore.h"
#include "SqliteHandle.h"
#include "StoreCreator.h"
#include "StoreHold.h"
#include "StoreJob.h"
#include "platform/ConnectionText.h"
#include "platform/RestoreMark.h"
#include "platform/StoreContract.h"

using BackupFile::Connection;
using StoreHold::Descriptor;
using StoreHold::heldByProgram;
using StoreHold::heldMessage;
using StoreJob::fail;

namespace Backup {

namespace {

const QString sqlite = QStringLiteral("QSQLITE");
const QRegularExpression backupName(QStringLiteral("^drevalon-(\\d{8}-\\d{6})(?:-(\\d+))?\\.backup$"));
// A run's hidden file: its backup's moment and its process number, and what
// SQLite and the server archive keep beside it.
const QRegularExpression
    leftoverName(QStringLiteral("^\\.drevalon-\\d{8}-\\d{6}(?:-\\d+)?-\\d+\\.partial(?:-journal|\\.dump|\\.final)?$"));

// A plain file of the user this tool runs as: what a run of it left, never
// a link, nor another user's file under a name like one of its own.
bool ownFile(const QString &path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_uid == ::geteuid();
}

// A backup this tool finished: its own file, and the finished mark in the header.
bool ownBackup(const QString &path) {
    if (!ownFile(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(BackupFile::applicationIdOffset + 4);
    if (header.size() < BackupFile::applicationIdOffset + 4 || !header.startsWith(QByteArray("SQLite format 3", 16)))
        return false;
    const auto byte = [&](int i) { return quint32(quint8(header[BackupFile::applicationIdOffset + i])); };
    return int((byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3)) == BackupFile::finishedId;
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

void removeQuietly(const QString &path) {
    for (const char *suffix : {"", "-journal", ".dump", ".final"})
        QFile::remove(path + QLatin1String(suffix));
}

// --- libpq, for the server's side -----------------------------------------

const char *const asking = "asking the server";

QString currentSchema(PGconn *connection, QString *error) {
    QStringList schema;
    if (!PgCommand::column(connection, "SELECT current_schema()", {}, asking, &schema, error))
        return QString();
    if (schema.value(0).isEmpty())
        *error = QStringLiteral("the connection's search path names no existing schema");
    return schema.value(0);
}

// The store's tables in the schema, as "table(col,...)" like the file's own.
QString serverFingerprint(PGconn *connection, const QString &schema, QString *error) {
    QStringList parts;
    for (const QString &table : BackupFile::databaseTables()) {
        QStringList columns;
        if (!PgCommand::column(connection,
                               "SELECT lower(column_name) FROM information_schema.columns "
                               "WHERE table_schema = $1 AND table_name = $2 ORDER BY ordinal_position",
                               {schema, table.toLower()}, asking, &columns, error))
            return QString();
        parts.append(table.toLower() + QLatin1Char('(') + columns.join(QLatin1Char(',')) + QLatin1Char(')'));
    }
    return parts.join(QLatin1Char(';'));
}

QString pgQuoted(const QString &name) {
    QString body = name;
    return QLatin1Char('"') + body.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Runs a client program of the server; false with its words when it fails.
// pg_dump and pg_restore get the server through their environment, never on
// their command line, which every user of the machine can read. Only the
// database's name and the few words without a variable of their own (no
// secret among them: a password is refused before) stay in --dbname, which
// also keeps pg_restore restoring rather than printing.
bool runClient(const QString &program, QStringList arguments, const QString &connection, QString *error) {
    QList<ConnectionText::Word> words;
    if (!ConnectionText::words(connection, &words)) {
        *error = QStringLiteral("the connection text is not understood");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QStringList rest;
    for (const ConnectionText::Word &word : std::as_const(words)) {
        if (word.variable.isEmpty() || word.key == QLatin1String("dbname"))
            rest.append(word.key + QLatin1Char('=') + ConnectionText::quoted(word.value));
        if (!word.variable.isEmpty())
            environment.insert(word.variable, word.value);
    }
    arguments.prepend(QStringLiteral("--dbname=") + (rest.isEmpty() ? connection : rest.join(QLatin1Char(' '))));
    QProcess process;
    process.setProcessEnvironment(environment);
    // It goes with this tool: a killed restore must not go on without it.
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start(program, arguments);
    if (!process.waitForStarted(-1)) {
        *error = QStringLiteral("%1 is not installed: apt install postgresql-client").arg(program);
        return false;
    }
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 failed: %2")
                     .arg(program, QString::fromUtf8(process.readAllStandardError()).simplified());
        return false;
    }
    return true;
}

// Settles a mark an earlier restore left beside the car table. A killed
// restore's session may linger a moment on the server: asked again shortly.
RestoreMark::Outcome settleMark(PGconn *server, const QString &carTable) {
    RestoreMark::Outcome outcome = RestoreMark::Outcome::None;
    for (int tries = 0; tries < 50; ++tries) {
        outcome = RestoreMark::settle(carTable, [server](const QString &transaction) {
            QStringList said;
            QString ignored;
            return PgCommand::column(server, "SELECT pg_xact_status($1::xid8)", {transaction}, asking, &said, &ignored)
                       ? said.value(0)
                       : QString();
        });
        if (outcome != RestoreMark::Outcome::Pending)
            break;
        QThread::msleep(200);
    }
    return outcome;
}

// Whether the stores are a pair again after what an earlier restore left.
bool settled(PGconn *server, const QString &carTable, QString *error) {
    const RestoreMark::Outcome left = settleMark(server, carTable);
    if (left != RestoreMark::Outcome::Pending && left != RestoreMark::Outcome::Unknown)
        return true;
    *error = QStringLiteral("an earlier restore's end is not settled (%1): the server does not say whether it "
                            "committed; try again later")
                 .arg(RestoreMark::markPath(carTable));
    return false;
}

// --- writing a backup ------------------------------------------------------

QString carUri(const QString &path) {
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()) + QStringLiteral("?mode=ro");
}

// Adds the car table's objects and rows from its file, read in one
// transaction, and the sequence its key counts in.
bool addCarTable(const Connection &db, const QString &carTable, QStringList *tables, QString *error) {
    if (!QFileInfo(carTable).isFile()) {
        *error = QStringLiteral("the car table %1 does not exist").arg(carTable);
        return false;
    }
    QList<QStringList> objects;
    bool ok = db.exec(QStringLiteral("ATTACH %1 AS car").arg(BackupFile::literal(carUri(carTable))), error) &&
              db.exec(QStringLiteral("BEGIN"), error) &&
              db.rows(QStringLiteral("SELECT type, name, sql FROM car.sqlite_master WHERE sql IS NOT NULL AND "
                                     "name NOT LIKE 'sqlite_%' ORDER BY type <> 'table', rowid"),
                      &objects, error);
    for (const QStringList &object : std::as_const(objects)) {
        if (!ok)
            break;
        ok = db.exec(object[2], error);
        if (ok && object[0] == QLatin1String("table")) {
            tables->append(object[1]);
            ok = db.exec(QStringLiteral("INSERT INTO main.%1 SELECT * FROM car.%1").arg(BackupFile::quoted(object[1])),
                         error);
        }
    }
    QStringList sequence;
    if (ok)
        ok = db.column(QStringLiteral("SELECT name FROM car.sqlite_master WHERE name = 'sqlite_sequence'"), &sequence,
                       error);
    if (ok && !sequence.isEmpty()) {
        QStringList names;
        for (const QString &table : std::as_const(*tables))
            names.append(BackupFile::literal(table));
        ok = db.exec(QStringLiteral("DELETE FROM main.sqlite_sequence WHERE name IN (%1); INSERT INTO "
                                    "main.sqlite_sequence SELECT * FROM car.sqlite_sequence")
                         .arg(names.join(QLatin1Char(','))),
                     error);
    }
    ok = ok && db.exec(QStringLiteral("COMMIT"), error);
    if (!ok)
        db.exec(QStringLiteral("ROLLBACK"), error);
    QString ignored;
    db.exec(QStringLiteral("DETACH car"), &ignored);
    return ok;
}

// The metadata and the digest of every row, written last.
bool addFacts(const Connection &db, const QString &driver, const QStringList &carTables,
              const QList<std::pair<const char *, QString>> &more, QString *error) {
    QList<std::pair<const char *, QString>> facts{{"format", QString::number(BackupFile::formatVersion)},
                                                  {"made_at", QDateTime::currentDateTime().toString(Qt::ISODate)},
                                                  {"driver", driver},
                                                  {"car_tables", carTables.join(QLatin1Char(','))},
                                                  {"program_version", QCoreApplication::applicationVersion()}};
    facts += more;
    QByteArray digest;
    if (!db.exec(QStringLiteral("CREATE TABLE drevalon_backup (key TEXT PRIMARY KEY, value TEXT)"), error) ||
        !BackupFile::contentDigest(db, &digest, error))
        return false;
    facts.append({"digest", QString::fromLatin1(digest)});
    // Marked unfinished: only the copy that takes the backup's name is marked finished.
    if (!db.exec(QStringLiteral("PRAGMA application_id = %1").arg(BackupFile::unfinishedId), error))
        return false;
    for (const auto &[key, value] : facts)
        if (!db.exec(QStringLiteral("INSERT INTO drevalon_backup VALUES ('%1', %2)")
                         .arg(QLatin1String(key), BackupFile::literal(value)),
                     error))
            return false;
    return true;
}

// The database through SQLite's online backup, consistent while the program
// writes: the copy is taken under one read lock.
bool copyDatabaseFile(const Connection &target, const QString &database, QString *error) {
    if (!QFileInfo(database).isFile()) {
        *error = QStringLiteral("the database %1 does not exist").arg(database);
        return false;
    }
    Connection source;
    if (!source.open(database, SQLITE_OPEN_READONLY, error))
        return false;
    sqlite3_busy_timeout(source.get(), 10000);
    sqlite3_backup *backup = sqlite3_backup_init(target.get(), "main", source.get(), "main");
    if (!backup) {
        *error = target.lastError();
        return false;
    }
    int status;
    for (int tries = 0; (status = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || status == SQLITE_LOCKED;) {
        if (++tries > 600)
            break;
        QThread::msleep(50);
    }
    sqlite3_backup_finish(backup);
    if (status != SQLITE_DONE) {
        *error = QStringLiteral("reading %1: %2").arg(database, QString::fromUtf8(sqlite3_errstr(status)));
        return false;
    }
    return target.exec(QStringLiteral("PRAGMA journal_mode = DELETE"), error);
}

bool writeFromFiles(const Stores &stores, const QString &partial, QString *error) {
    Connection db;
    QStringList carTables;
    return db.open(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, error) &&
           copyDatabaseFile(db, stores.database, error) && addCarTable(db, stores.carTable, &carTables, error) &&
           addFacts(db, stores.driver, carTables, {}, error);
}

// pg_dump's archive of the store's tables, held as one blob.
bool writeFromServer(const Stores &stores, const QString &partial, QString *error) {
    const PgCommand::Connection server = PgCommand::connect(stores.database, error);
    if (!server)
        return false;
    // Never a backup of a new database with the old car table.
    if (!settled(server.get(), stores.carTable, error))
        return false;
    const QString schema = currentSchema(server.get(), error);
    if (schema.isEmpty())
        return false;
    const QString fingerprint = serverFingerprint(server.get(), schema, error);
    if (fingerprint.isEmpty())
        return false;
    const QString dump = partial + QStringLiteral(".dump");
    QStringList arguments{QStringLiteral("--format=custom"), QStringLiteral("--no-password"),
                          QStringLiteral("--file=") + dump};
    for (const QString &table : BackupFile::databaseTables())
        arguments.append(QStringLiteral("--table=%1.%2").arg(pgQuoted(schema), pgQuoted(table.toLower())));
    if (!runClient(QStringLiteral("pg_dump"), arguments, stores.database, error))
        return false;

    Connection db;
    QFile archive(dump);
    if (!archive.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(dump, archive.errorString());
        return false;
    }
    if (!db.open(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, error) ||
        !db.exec(QStringLiteral("CREATE TABLE drevalon_backup_dump (dump BLOB); INSERT INTO drevalon_backup_dump "
                                "(rowid, dump) VALUES (1, zeroblob(%1))")
                     .arg(archive.size()),
                 error))
        return false;
    sqlite3_blob *blob = nullptr;
    if (sqlite3_blob_open(db.get(), "main", "drevalon_backup_dump", "dump", 1, 1, &blob) != SQLITE_OK) {
        *error = db.lastError();
        return false;
    }
    bool ok = true;
    for (int offset = 0; ok && !archive.atEnd();) {
        const QByteArray chunk = archive.read(1 << 20);
        ok = !chunk.isEmpty() && sqlite3_blob_write(blob, chunk.constData(), int(chunk.size()), offset) == SQLITE_OK;
        offset += int(chunk.size());
    }
    sqlite3_blob_close(blob);
    archive.close();
    QFile::remove(dump);
    if (!ok) {
        *error = db.lastError();
        return false;
    }
    QStringList carTables;
    return addCarTable(db, stores.carTable, &carTables, error) &&
           addFacts(db, QStringLiteral("QPSQL"), carTables, {{"schema", schema}, {"server_fingerprint", fingerprint}},
                    error);
}

bool copyAll(int from, int to) {
    struct stat info {};
    if (::fstat(from, &info) != 0)
        return false;
    for (off_t done = 0; done < info.st_size;) {
        ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, size_t(info.st_size - done), 0);
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            char buffer[1 << 16];
            n = ::pread(from, buffer, sizeof buffer, done);
            if (n > 0 && ::write(to, buffer, size_t(n)) != n)
                return false;
        }
        if (n <= 0)
            return n == 0 && done == info.st_size;
        done += n;
    }
    return true;
}

// The finished backup appears under its name whole or not at all. Its bytes
// are those of the checked partial file but for the mark of a finished one,
// written into a file without a name (O_TMPFILE) that is then linked into
// the directory. A filesystem without such files gets a hidden copy renamed
// into place; a run killed between its end and the rename leaves that copy,
// whole but hidden, for the next run to remove.
bool finish(const QString &partial, const QString &dirPath, const QString &name, QString *error) {
    const Descriptor dir(::open(QFile::encodeName(dirPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const Descriptor source(::open(QFile::encodeName(partial).constData(), O_RDONLY | O_CLOEXEC));
    const QString copy = partial + QStringLiteral(".final");
    // A test switch: the way taken where the filesystem has no such files.
    const bool unnamed = !qEnvironmentVariableIsSet("DREVALON_BACKUP_NO_TMPFILE");
    int fd = unnamed ? ::open(QFile::encodeName(dirPath).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0640) : -1;
    const bool linked = fd >= 0;
    if (!linked)
        fd = ::open(QFile::encodeName(copy).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
    const Descriptor target(fd);
    const unsigned char mark[4] = {(BackupFile::finishedId >> 24) & 0xff, (BackupFile::finishedId >> 16) & 0xff,
                                   (BackupFile::finishedId >> 8) & 0xff, BackupFile::finishedId & 0xff};
    if (dir.get() < 0 || source.get() < 0 || fd < 0 || !copyAll(source.get(), fd) ||
        ::pwrite(fd, mark, sizeof mark, BackupFile::applicationIdOffset) != sizeof mark || ::fsync(fd) != 0) {
        *error = QStringLiteral("cannot write the backup into %1: %2").arg(dirPath, systemError());
        return false;
    }
    const QByteArray nameBytes = QFile::encodeName(name);
    bool placed;
    if (linked) {
        const QByteArray self = QByteArray("/proc/self/fd/") + QByteArray::number(fd);
        placed = ::linkat(fd, "", dir.get(), nameBytes.constData(), AT_EMPTY_PATH) == 0 ||
                 ::linkat(AT_FDCWD, self.constData(), dir.get(), nameBytes.constData(), AT_SYMLINK_FOLLOW) == 0;
    } else {
        // Never over another file: a filesystem that cannot promise that gets
        // a plain rename, the name being new and the directory locked.
        const QByteArray from = QFile::encodeName(copy);
        placed = ::fsync(dir.get()) == 0 &&
                 (::renameat2(AT_FDCWD, from.constData(), dir.get(), nameBytes.constData(), RENAME_NOREPLACE) == 0 ||
                  (errno == EINVAL && ::renameat(AT_FDCWD, from.constData(), dir.get(), nameBytes.constData()) == 0));
    }
    if (!placed || ::fsync(dir.get()) != 0) {
        *error = QStringLiteral("cannot name the backup %1 in %2: %3").arg(name, dirPath, systemError());
        return false;
    }
    return true;
}

// Backups named by their moment, newest first.
QStringList backupsIn(const QDir &dir) {
    QList<std::pair<std::pair<QString, int>, QString>> found;
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = backupName.match(name);
        if (m.hasMatch())
            found.append({{m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()}, name});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList names;
    for (const auto &entry : std::as_const(found))
        names.append(entry.second);
    return names;
}

// Named by its moment; a second backup within the same second counts on from
// the last of that second, so it never takes the name of one rotated away.
QString newName(const QDir &dir) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    int last = 0;
    for (const QString &name : backupsIn(dir)) {
        const QRegularExpressionMatch m = backupName.match(name);
        if (m.captured(1) == stamp)
            last = std::max(last, m.captured(2).isEmpty() ? 1 : m.captured(2).toInt());
    }
    return last == 0 ? QStringLiteral("drevalon-%1.backup").arg(stamp)
                     : QStringLiteral("drevalon-%1-%2.backup").arg(stamp).arg(last + 1);
}

// --- restoring ---------------------------------------------------------------

// Fills an empty staging store with the objects and rows of the given
// tables from the backup: tables and indexes, rows, then triggers, so none
// fires on the copy.
// Copies the rows of `tables` from a checked backup into a store just made
// from the shipped schema: only rows, column by named column, never any text
// the file holds. A column the backup lacks (orderNow's station, in a backup
// from before workstations kept their own lines) takes `station`'s name.
bool fillFrom(const QString &file, const QSqlDatabase &staging, const QStringList &tables, bool withVersion,
              const QString &station, QString *error) {
    sqlite3 *raw = SqliteHandle::of(staging, error);
    if (!raw)
        return false;
    // The attached file is as untrusted here as when it was checked.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    const auto run = [raw, error](const QString &sql) { return SqliteHandle::exec(raw, sql.toUtf8(), error); };
    QStringList names;
    for (const QString &table : tables)
        names.append(BackupFile::literal(table));
    const QString chosen = names.join(QLatin1Char(','));
    Connection backup, made;
    QStringList version;
    if (!backup.open(file, SQLITE_OPEN_READONLY, error) ||
        !backup.column(QStringLiteral("PRAGMA user_version"), &version, error) ||
        !made.open(staging.databaseName(), SQLITE_OPEN_READONLY, error))
        return false;
    // Each table's columns as the program's schema has them, and those of
    // them the backup holds.
    QList<QPair<QString, QStringList>> copies;
    bool lacksStation = false;
    for (const QString &table : tables) {
        QStringList ours, theirs;
        if (!made.column(QStringLiteral("SELECT name FROM pragma_table_info(%1)").arg(BackupFile::literal(table)),
                         &ours, error) ||
            !backup.column(QStringLiteral("SELECT name FROM pragma_table_info(%1)").arg(BackupFile::literal(table)),
                           &theirs, error))
            return false;
        QStringList both;
        for (const QString &column : std::as_const(ours)) {
            if (theirs.contains(column, Qt::CaseInsensitive))
                both.append(BackupFile::quoted(column));
            else if (table.compare(QLatin1String("orderNow"), Qt::CaseInsensitive) == 0 &&
                     column.compare(QLatin1String("station"), Qt::CaseInsensitive) == 0)
                lacksStation = true;
        }
        copies.append({table, both});
    }
    if (!run(QStringLiteral("ATTACH %1 AS backup; BEGIN").arg(BackupFile::literal(file))))
        return false;
    bool ok = true;
    for (const auto &[table, columns] : std::as_const(copies))
        ok = ok && run(QStringLiteral("INSERT INTO main.%1 (%2) SELECT %2 FROM backup.%1")
                           .arg(BackupFile::quoted(table), columns.join(QLatin1Char(','))));
    if (ok && lacksStation) {
        QSqlQuery give(staging);
        give.prepare(QStringLiteral("UPDATE main.orderNow SET station = ?"));
        give.addBindValue(station);
        ok = give.exec();
        if (!ok)
            *error = give.lastError().text();
    }
    // The keys handed out stay handed out: the sequences as they were.
    ok = ok && run(QStringLiteral("DELETE FROM main.sqlite_sequence WHERE name IN (%1); INSERT INTO "
                                  "main.sqlite_sequence (name, seq) SELECT name, seq FROM backup.sqlite_sequence "
                                  "WHERE name IN (%1)")
                       .arg(chosen));
    if (ok && withVersion)
        ok = run(QStringLiteral("PRAGMA main.user_version = %1").arg(version.value(0).toLongLong()));
    ok = ok && run(QStringLiteral("COMMIT"));
    if (!ok)
        SqliteHandle::exec(raw, "ROLLBACK", nullptr);
    SqliteHandle::exec(raw, "DETACH backup", nullptr);
    if (!ok)
        return false;
    Connection check;
    QStringList integrity;
    if (!check.open(staging.databaseName(), SQLITE_OPEN_READONLY, error) ||
        !check.column(QStringLiteral("PRAGMA integrity_check"), &integrity, error) ||
        integrity != QStringList{QStringLiteral("ok")}) {
        *error = QStringLiteral("the restored %1 fails its check: %2")
                     .arg(staging.databaseName(), integrity.value(0, *error));
        return false;
    }
    return true;
}

QStringList databaseTablesIn(const QString &file, const QStringList &carTables, QString *error) {
    Connection backup;
    QStringList tables;
    if (!backup.open(file, SQLITE_OPEN_READONLY, error) ||
        !backup.column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                      "'sqlite_%' AND name NOT IN ('drevalon_backup', 'drevalon_backup_dump') "
                                      "ORDER BY rowid"),
                       &tables, error))
        return {};
    tables.removeIf([&](const QString &table) { return carTables.contains(table, Qt::CaseInsensitive); });
    return tables;
}

// A restored store keeps the owner, group and permissions of the one it
// replaces: the shop's users must still write it after root restored it.
bool keepAccess(const QString &target, const QString &staging, QString *error) {
    struct stat info {};
    if (::stat(QFile::encodeName(target).constData(), &info) != 0)
        return true;
    const QByteArray path = QFile::encodeName(staging);
    if (::chmod(path.constData(), info.st_mode & 07777) != 0 ||
        (::geteuid() == 0 && ::chown(path.constData(), info.st_uid, info.st_gid) != 0)) {
        *error =
            QStringLiteral("cannot give %1 the owner and permissions of %2: %3").arg(staging, target, systemError());
        return false;
    }
    return true;
}

bool syncDirOf(const QString &path, QString *error) {
    return BackupFile::syncPath(QFileInfo(path).absolutePath(), error);
}

int restoreFiles(const Stores &stores, const QString &file, const BackupFile::Facts &facts, const Restore &how) {
    const bool force = how.force;
    const QString &workstation = how.workstation;
    std::vector<std::unique_ptr<Descriptor>> locks;
    QStringList held, existing;
    for (const QString &path : {stores.database, stores.carTable}) {
        if (heldByProgram(path, &locks))
            held.append(StoreHold::heldStore(path));
        if (StoreCreator::occupied(path))
            existing.append(path);
    }
    if (!held.isEmpty())
        return fail(heldMessage(held), StoreJob::Refused);
    if (!existing.isEmpty() && !force)
        return fail(QStringLiteral("not overwriting the existing %1 (--force replaces them)")
                        .arg(existing.join(QStringLiteral(", "))),
                    StoreJob::Refused);
    QString error;
    for (const QString &path : {stores.database, stores.carTable})
        if (!StoreCreator::makeDirectory(QFileInfo(path).absolutePath()))
            return fail(QStringLiteral("cannot create the directory %1").arg(QFileInfo(path).absolutePath()));
    const QStringList databaseTables = databaseTablesIn(file, facts.carTables, &error);
    if (databaseTables.isEmpty())
        return fail(error.isEmpty() ? QStringLiteral("%1 holds no database tables").arg(file) : error);
    StoreCreator database(stores.database, QStringLiteral(":/schema/database.sqlite.sql"));
    StoreCreator cars(stores.carTable, QStringLiteral(":/schema/drevalonParadox.sqlite.sql"));
    const bool filled = database.create(&error) && cars.create(&error) &&
                        fillFrom(file, database.database(), databaseTables, true, workstation, &error) &&
                        fillFrom(file, cars.database(), facts.carTables, false, workstation, &error);
    if (!filled || !keepAccess(stores.database, database.stagingPath(), &error) ||
        !keepAccess(stores.carTable, cars.stagingPath(), &error) || !database.prepareInstall(force, &error) ||
        !cars.prepareInstall(force, &error))
        return fail(QStringLiteral("the stores are left as they were: %1").arg(error));
    // The car table first, the database last: a restore killed between the two
    // renames has left the database, the shop's years of orders, as it was.
    if (!cars.completeInstall(&error) || !database.completeInstall(&error) || !syncDirOf(stores.carTable, &error) ||
        !syncDirOf(stores.database, &error))
        return fail(error);
    return StoreJob::Created;
}

int restoreServer(const Stores &stores, const QString &file, const BackupFile::Facts &facts, const Restore &how) {
    const bool force = how.force;
    const QString &workstation = how.workstation;
    QString error;
    const PgCommand::Connection server = PgCommand::connect(stores.database, &error);
    if (!server)
        return fail(error);
    // A superuser's restore could hand out anything a table's rows lead to;
    // the tables' owner restores them.
    QStringList superuser;
    if (!PgCommand::column(server.get(), "SELECT current_setting('is_superuser')", {}, asking, &superuser, &error))
        return fail(error);
    if (superuser.value(0) == QLatin1String("on") && !how.asSuperuser)
        return fail(QStringLiteral("not restoring as the superuser %1: connect as the role that owns the tables, or "
                                   "give --as-superuser")
                        .arg(QString::fromUtf8(PQuser(server.get()))),
                    StoreJob::Refused);
    const QString schema = currentSchema(server.get(), &error);
    if (schema.isEmpty())
        return fail(error);
    if (schema != facts.schema)
        return fail(QStringLiteral("%1 holds the tables of the schema %2, but the connection's first schema is %3; "
                                   "name it with options='-c search_path=%2'")
                        .arg(file, facts.schema, schema));
    // What a killed restore left is settled first: its pair, old or new, stands.
    if (!settled(server.get(), stores.carTable, &error))
        return fail(error, StoreJob::Refused);
    const QString programName = StoreHold::programName(stores.database);
    QStringList sessions, tables;
    // A session that has just ended may linger a moment: asked again shortly.
    for (int tries = 0; tries < 20; ++tries) {
        if (!PgCommand::column(server.get(),
                               "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                               "application_name = $1 AND pid <> pg_backend_pid()",
                               {programName}, asking, &sessions, &error))
            return fail(error);
        if (sessions.value(0).toInt() == 0)
            break;
        QThread::msleep(100);
    }
    if (!PgCommand::column(server.get(),
                           "SELECT t FROM unnest(string_to_array($1, ',')) AS t "
                           "WHERE to_regclass(format('%I.%I', current_schema(), t)) IS NOT NULL",
                           {StoreContract::serverTables().join(QLatin1Char(','))}, asking, &tables, &error))
        return fail(error);
    std::vector<std::unique_ptr<Descriptor>> locks;
    QStringList held;
    if (sessions.value(0).toInt() > 0)
        held.append(QStringLiteral("%1 session(s) of %2 on the server").arg(sessions.value(0), programName));
    if (heldByProgram(stores.carTable, &locks))
        held.append(StoreHold::heldStore(stores.carTable));
    if (!held.isEmpty())
        return fail(heldMessage(held), StoreJob::Refused);
    QStringList existing;
    if (!tables.isEmpty())
        existing.append(QStringLiteral("tables %1 in the schema %2").arg(tables.join(QStringLiteral(", ")), schema));
    if (StoreCreator::occupied(stores.carTable))
        existing.append(stores.carTable);
    if (!existing.isEmpty() && !force)
        return fail(QStringLiteral("not overwriting the existing %1 (--force replaces them)")
                        .arg(existing.join(QStringLiteral(", "))),
                    StoreJob::Refused);

    // The car table is made first, the server's transaction next, and the car
    // table takes its name only once the server has committed. The tables are
    // made from the shipped schema; the archive gives nothing but rows.
    QTemporaryFile dump;
    Connection backup;
    QList<ArchiveRows::Entry> entries;
    if (!dump.open() || !backup.open(file, SQLITE_OPEN_READONLY, &error) ||
        !BackupFile::extractDump(backup, dump.fileName(), &error) ||
        !ArchiveRows::list(dump.fileName(), &entries, &error))
        return fail(error.isEmpty() ? QStringLiteral("cannot make a temporary file for the server archive") : error);
    if (!StoreCreator::makeDirectory(QFileInfo(stores.carTable).absolutePath()))
        return fail(QStringLiteral("cannot create the directory %1").arg(QFileInfo(stores.carTable).absolutePath()));
    StoreCreator cars(stores.carTable, QStringLiteral(":/schema/drevalonParadox.sqlite.sql"));
    const bool filled = cars.create(&error) &&
                        fillFrom(file, cars.database(), facts.carTables, false, QString(), &error) &&
                        keepAccess(stores.carTable, cars.stagingPath(), &error);
    if (!filled)
        return fail(QStringLiteral("the stores are left as they were: %1").arg(error));
    PostgresStore database(stores.database, QStringLiteral(":/schema/database.postgres.sql"));
    QStringList transaction;
    if (!database.open(&error) || !database.create(true, &error) ||
        !ArchiveRows::load(database.connection(), database.schema(), dump.fileName(), entries, workstation, &error) ||
        !PgCommand::column(database.connection(), "SELECT pg_current_xact_id()::text", "naming the transaction",
                           &transaction, &error) ||
        !cars.prepareInstall(force, &error))
        return fail(QStringLiteral("the stores are left as they were: %1").arg(error));
    if (!RestoreMark::write(stores.carTable, transaction.value(0), cars.stagingPath()))
        return fail(QStringLiteral("the stores are left as they were: cannot write %1")
                        .arg(RestoreMark::markPath(stores.carTable)));
    if (!database.commit(&error)) {
        // A commit whose answer was lost may have happened: the server says.
        const RestoreMark::Outcome outcome = settleMark(server.get(), stores.carTable);
        if (outcome == RestoreMark::Outcome::Old)
            return fail(QStringLiteral("the stores are left as they were: %1").arg(error));
        cars.keepStaging(); // settled into place, or the mark's to settle later
        if (outcome != RestoreMark::Outcome::New) {
            return fail(QStringLiteral("the server did not say whether the restore committed (%1); the next restore "
                                       "or start of the program settles it")
                            .arg(error));
        }
        return StoreJob::Created;
    }
    if (!cars.completeInstall(&error) || !syncDirOf(stores.carTable, &error) || !RestoreMark::remove(stores.carTable)) {
        cars.keepStaging();
        return fail(QStringLiteral("the database is restored on the server, but the car table is not: %1; the next "
                                   "restore or start of the program puts it in place")
                        .arg(error));
    }
    return StoreJob::Created;
}

} // namespace

int take(const Stores &stores, const QString &dirPath, bool defaultDir, int keep) {
    const QDir dir(dirPath);
    if (!dir.exists()) {
        if (!defaultDir || !QDir().mkpath(dirPath))
            return fail(QStringLiteral("the backup directory %1 does not exist").arg(dirPath));
    }
    // One run at a time per directory, for the whole run: the leftovers
    // removed below are then surely those of runs that are over.
    const QString lockPath = dir.filePath(QStringLiteral(".drevalon-backup.lock"));
    const Descriptor lock(::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0660));
    if (lock.get() < 0)
        return fail(QStringLiteral("cannot write in the backup directory %1: %2").arg(dirPath, systemError()));
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return fail(QStringLiteral("another backup into %1 is under way").arg(dirPath));
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (leftoverName.match(name).hasMatch() && ownFile(dir.filePath(name)))
            QFile::remove(dir.filePath(name));

    const QString name = newName(dir);
    const QString partial = dir.filePath(QStringLiteral(".%1-%2.partial")
                                             .arg(QFileInfo(name).completeBaseName())
                                             .arg(QCoreApplication::applicationPid()));
    const QString target = dir.filePath(name);
    QString error;
    BackupFile::Facts facts;
    bool ok =
        stores.driver == sqlite ? writeFromFiles(stores, partial, &error) : writeFromServer(stores, partial, &error);
    ok = ok && BackupFile::check(partial, &facts, &error, true) && finish(partial, dirPath, name, &error);
    removeQuietly(partial);
    if (!ok)
        return fail(QStringLiteral("no backup written into %1: %2; the earlier backups are kept").arg(dirPath, error));

    // Only now that the new one is whole on disk do the oldest go; the new one
    // stays even when a clock set back names it older than the rest.
    // Counted and removed: backups this tool finished, as this user. A file
    // named like one (another user's, or junk dated in the future) is not one.
    QStringList all = backupsIn(dir);
    all.removeAll(name);
    all.erase(std::remove_if(all.begin(), all.end(), [&](const QString &n) { return !ownBackup(dir.filePath(n)); }),
              all.end());
    int removed = 0;
    for (qsizetype i = keep - 1; i < all.size(); ++i)
        removed += QFile::remove(dir.filePath(all[i])) ? 1 : 0;
    if (removed > 0)
        BackupFile::syncPath(dirPath, &error);
    QTextStream out(stdout);
    out << "drevalon-stores: backed up the stores to " << target << " (" << QFileInfo(target).size() << " bytes)";
    if (removed > 0)
        out << "; removed " << removed << " older backup(s), keeping the newest " << keep;
    out << Qt::endl;
    return StoreJob::Created;
}

int verify(const QString &file) {
    BackupFile::Facts facts;
    QString error;
    if (!BackupFile::check(file, &facts, &error))
        return fail(error);
    QTextStream(stdout) << "drevalon-stores: " << file << " is a sound backup of the stores (" << facts.driver
                        << "), made " << facts.madeAt << Qt::endl;
    return StoreJob::Created;
}

int restore(const Stores &stores, const QString &file, const Restore &how) {
    BackupFile::Facts facts;
    QString error;
    if (!BackupFile::check(file, &facts, &error))
        return fail(error + QStringLiteral("; the stores are left as they were"));
    if (facts.driver != stores.driver)
        return fail(QStringLiteral("%1 holds a database kept with %2, but these stores keep it with %3")
                        .arg(file, facts.driver, stores.driver));
    const int code =
        stores.driver == sqlite ? restoreFiles(stores, file, facts, how) : restoreServer(stores, file, facts, how);
    if (code == StoreJob::Created)
        QTextStream(stdout) << "drevalon-stores: restored the stores from " << file << " (made " << facts.madeAt << ")"
                            << Qt::endl;
    return code;
}

} // namespace Backup
