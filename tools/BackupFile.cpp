// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackupFile.h"
#include "ArchiveRows.h"
#include "SqliteHandle.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace BackupFile {

bool Connection::open(const QString &path, int flags, QString *error) {
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, lastError());
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    // A file from elsewhere is data: its schema may not call functions with
    // side effects, nor may anything write the schema's own text.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    return true;
}

QString Connection::lastError() const {
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
}

bool Connection::exec(const QString &sql, QString *error) const {
    return SqliteHandle::exec(m_db, sql.toUtf8(), error);
}

bool Connection::column(const QString &sql, QStringList *values, QString *error) const {
    QList<QStringList> all;
    if (!rows(sql, &all, error))
        return false;
    values->clear();
    for (const QStringList &row : std::as_const(all))
        values->append(row.value(0));
    return true;
}

bool Connection::rows(const QString &sql, QList<QStringList> *values, QString *error) const {
    sqlite3_stmt *statement = nullptr;
    values->clear();
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        *error = lastError();
        return false;
    }
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0, n = sqlite3_column_count(statement); i < n; ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            row.append(text ? QString::fromUtf8(text) : QString());
        }
        values->append(row);
    }
    sqlite3_finalize(statement);
    if (status != SQLITE_DONE) {
        *error = lastError();
        return false;
    }
    return true;
}

QString quoted(const QString &name) {
    QString text = name;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString fingerprint(const Connection &db, const QStringList &tables, QString *error) {
    QStringList parts;
    for (const QString &table : tables) {
        QStringList columns;
        if (!db.column(QStringLiteral("SELECT lower(name) FROM pragma_table_info(%1) ORDER BY cid").arg(literal(table)),
                       &columns, error))
            return QString();
        parts.append(table.toLower() + QLatin1Char('(') + columns.join(QLatin1Char(',')) + QLatin1Char(')'));
    }
    return parts.join(QLatin1Char(';'));
}

QString literal(const QString &text) {
    QString body = text;
    return QLatin1Char('\'') + body.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

namespace {

// The tables a shipped schema script makes, in the order it makes them.
QStringList tablesOf(const QString &resource, Connection *db) {
    QFile script(resource);
    QString error;
    QStringList tables;
    if (!script.open(QIODevice::ReadOnly) || !db->exec(QString::fromUtf8(script.readAll()), &error))
        qFatal("the shipped schema %s does not run: %s", qPrintable(resource), qPrintable(error));
    db->column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                              "ORDER BY rowid"),
               &tables, &error);
    return tables;
}

struct Shipped {
    QStringList database, cars;
    QString fingerprint;
    // Every object as the program's schema makes it: the database's, the
    // database's as made before each workstation kept its own order lines,
    // and the car table's.
    QStringList databaseObjects, databaseObjectsBefore, carObjects;
    Shipped() {
        Connection databaseDb, carDb;
        QString error;
        databaseDb.open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, &error);
        carDb.open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, &error);
        database = tablesOf(QStringLiteral(":/schema/database.sqlite.sql"), &databaseDb);
        cars = tablesOf(QStringLiteral(":/schema/drevalonParadox.sqlite.sql"), &carDb);
        fingerprint = BackupFile::fingerprint(databaseDb, database, &error) + QLatin1Char(';') +
                      BackupFile::fingerprint(carDb, cars, &error);
        BackupFile::objects(databaseDb, &databaseObjects, &error);
        BackupFile::objects(carDb, &carObjects, &error);
        if (!databaseDb.exec(QStringLiteral("DROP INDEX orderNow_station; ALTER TABLE orderNow DROP COLUMN station"),
                             &error))
            qFatal("the shipped schema cannot be taken back to before workstations: %s", qPrintable(error));
        BackupFile::objects(databaseDb, &databaseObjectsBefore, &error);
    }
};

const Shipped &shipped() {
    static const Shipped schema;
    return schema;
}

// Values are gathered and hashed a buffer at a time: a call per value would
// cost more than the hashing.
class Digest {
public:
    void add(const void *bytes, qsizetype size) {
        m_buffer.append(static_cast<const char *>(bytes), size);
        if (m_buffer.size() >= (1 << 16))
            flush();
    }
    void addNumber(quint64 value) {
        const quint64 little = qToLittleEndian(value);
        add(&little, sizeof little);
    }
    QByteArray result() {
        flush();
        return m_hash.result().toHex();
    }

private:
    void flush() {
        m_hash.addData(m_buffer);
        m_buffer.clear();
    }
    QCryptographicHash m_hash{QCryptographicHash::Blake2b_256};
    QByteArray m_buffer;
};

bool digestTable(const Connection &db, const QString &table, Digest &digest, QString *error) {
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoted(table)).toUtf8();
    if (sqlite3_prepare_v2(db.get(), sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        *error = db.lastError();
        return false;
    }
    const QByteArray name = table.toUtf8();
    digest.addNumber(quint64(name.size()));
    digest.add(name.constData(), name.size());
    const int columns = sqlite3_column_count(statement);
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            const char type = char(sqlite3_column_type(statement, i));
            digest.add(&type, 1);
            switch (type) {
            case SQLITE_INTEGER: digest.addNumber(quint64(sqlite3_column_int64(statement, i))); break;
            case SQLITE_FLOAT: {
                const double value = sqlite3_column_double(statement, i);
                quint64 bits;
                std::memcpy(&bits, &value, sizeof bits);
                digest.addNumber(bits);
                break;
            }
            case SQLITE_NULL: break;
            default: {
                const void *bytes = sqlite3_column_blob(statement, i);
                const int size = sqlite3_column_bytes(statement, i);
                digest.addNumber(quint64(size));
                digest.add(bytes, size);
            }
            }
        }
    }
    sqlite3_finalize(statement);
    if (status != SQLITE_DONE) {
        *error = db.lastError();
        return false;
    }
    return true;
}

QString metadata(const Connection &db, const char *key) {
    QStringList values;
    QString ignored;
    db.column(QStringLiteral("SELECT value FROM drevalon_backup WHERE key = '%1'").arg(QLatin1String(key)), &values,
              &ignored);
    return values.value(0);
}

QStringList listed(const QString &list) { return list.isEmpty() ? QStringList() : list.split(QLatin1Char(',')); }

// pg_restore reads the archive's table of contents: it may hold only what
// pg_dump makes of the store's tables, and their rows must all be in it.
bool checkDump(const Connection &db, const QString &path, const QString &schema, QString *error) {
    QTemporaryFile dump;
    if (!dump.open()) {
        *error = QStringLiteral("cannot make a temporary file to read the server archive in");
        return false;
    }
    dump.close();
    if (!extractDump(db, dump.fileName(), error))
        return false;
    QList<ArchiveRows::Entry> entries;
    QString reason;
    if (!ArchiveRows::list(dump.fileName(), &entries, &reason)) {
        *error = QStringLiteral("%1 is damaged: its server archive does not read (%2)").arg(path, reason);
        return false;
    }
    reason = ArchiveRows::foreignEntry(entries, schema);
    if (!reason.isEmpty()) {
        *error = QStringLiteral("%1 holds other objects than this program's stores: its server archive holds %2")
                     .arg(path, reason);
        return false;
    }
    return true;
}

} // namespace

QStringList databaseTables() { return shipped().database; }
QStringList carTables() { return shipped().cars; }
QString expectedFingerprint() { return shipped().fingerprint; }

bool objects(const Connection &db, QStringList *described, QString *error) {
    QList<QStringList> all;
    if (!db.rows(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' "
                                "AND name NOT IN ('drevalon_backup', 'drevalon_backup_dump')"),
                 &all, error))
        return false;
    described->clear();
    for (const QStringList &object : std::as_const(all)) {
        QString line =
            object[0] + QLatin1Char(' ') + object[1] + QStringLiteral(" on ") + object[2] + QStringLiteral(": ");
        // A table is what SQLite reads its columns to be, whatever text made
        // it (an upgrade rewrites the text); anything else is its text.
        if (object[0] == QLatin1String("table")) {
            QList<QStringList> columns;
            if (!db.rows(QStringLiteral("SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(%1)")
                             .arg(literal(object[1])),
                         &columns, error))
                return false;
            QStringList parts;
            for (const QStringList &column : std::as_const(columns))
                parts.append(column.join(QLatin1Char(' ')));
            line += parts.join(QStringLiteral(", "));
        } else {
            line += object[3];
        }
        described->append(line);
    }
    described->sort();
    return true;
}

bool knownObjects(const QStringList &found, const QString &driver, QString *difference) {
    const Shipped &s = shipped();
    QList<QStringList> accepted{s.carObjects};
    if (driver == QLatin1String("QSQLITE"))
        accepted = {s.databaseObjects + s.carObjects, s.databaseObjectsBefore + s.carObjects};
    for (QStringList &objects : accepted) {
        objects.sort();
        if (objects == found)
            return true;
    }
    // Named by the first object the file has that the program's stores do not, or lacks.
    for (const QString &object : found)
        if (!accepted.constFirst().contains(object) && !accepted.constLast().contains(object)) {
            *difference = QStringLiteral("it holds %1").arg(object.simplified().left(200));
            return false;
        }
    for (const QString &object : accepted.constFirst())
        if (!found.contains(object)) {
            *difference = QStringLiteral("it lacks %1").arg(object.simplified().left(200));
            return false;
        }
    *difference = QStringLiteral("its objects are those of no version of this program");
    return false;
}

bool knownFingerprint(const QString &found) {
    // A database from before each workstation kept its own order lines: the
    // same tables, orderNow without its last column, which --upgrade adds.
    static const QString before =
        QString(expectedFingerprint()).replace(QStringLiteral(",rowkey,station)"), QStringLiteral(",rowkey)"));
    return found == expectedFingerprint() || found == before;
}

bool contentDigest(const Connection &db, QByteArray *digest, QString *error) {
    QStringList tables;
    if (!db.column(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'drevalon_backup' "
                                  "ORDER BY name"),
                   &tables, error))
        return false;
    Digest hash;
    for (const QString &table : tables)
        if (!digestTable(db, table, hash, error))
            return false;
    *digest = hash.result();
    return true;
}

bool check(const QString &path, Facts *facts, QString *error, bool unfinished) {
    const QString notBackup = QStringLiteral("%1 is not a Drevalon backup").arg(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("%1 does not exist").arg(path);
        return false;
    }
    if (!info.isFile()) {
        *error = notBackup;
        return false;
    }
    // Before SQLite sees it: a file of any other kind is not opened as a database.
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, raw.errorString());
        return false;
    }
    if (raw.read(16) != QByteArray("SQLite format 3", 16)) {
        *error = notBackup;
        return false;
    }
    raw.close();

    Connection db;
    if (!db.open(path, SQLITE_OPEN_READONLY, error))
        return false;
    QString reason;
    QStringList id;
    if (!db.column(QStringLiteral("PRAGMA application_id"), &id, &reason)) {
        *error = QStringLiteral("%1 is damaged: %2").arg(path, reason);
        return false;
    }
    if (id.value(0).toInt() != (unfinished ? unfinishedId : finishedId)) {
        *error = !unfinished && id.value(0).toInt() == unfinishedId
                     ? QStringLiteral("%1 is an unfinished backup, left by a run that was cut short").arg(path)
                     : notBackup;
        return false;
    }
    QStringList integrity;
    if (!db.column(QStringLiteral("PRAGMA integrity_check"), &integrity, &reason) ||
        integrity != QStringList{QStringLiteral("ok")}) {
        *error = QStringLiteral("%1 is damaged: %2").arg(path, reason.isEmpty() ? integrity.value(0) : reason);
        return false;
    }
    QStringList format;
    if (!db.column(QStringLiteral("SELECT value FROM drevalon_backup WHERE key = 'format'"), &format, &reason) ||
        format.size() != 1) {
        *error = notBackup;
        return false;
    }
    if (format.constFirst() != QString::number(formatVersion)) {
        *error = QStringLiteral("%1 is a backup of format %2, which this version does not read")
                     .arg(path, format.constFirst());
        return false;
    }
    QByteArray digest;
    if (!contentDigest(db, &digest, &reason)) {
        *error = QStringLiteral("%1 is damaged: %2").arg(path, reason);
        return false;
    }
    if (digest != metadata(db, "digest").toLatin1()) {
        *error = QStringLiteral("%1 is damaged: its rows are not those it was written with").arg(path);
        return false;
    }

    facts->driver = metadata(db, "driver");
    facts->madeAt = metadata(db, "made_at");
    facts->schema = metadata(db, "schema");
    facts->carTables = listed(metadata(db, "car_tables"));
    // What the file holds is read from its tables, never taken from its name
    // or its own word; only the server's columns, inside the archive, are not.
    QString found;
    if (facts->driver == QLatin1String("QSQLITE")) {
        found = fingerprint(db, databaseTables() + carTables(), &reason);
    } else if (facts->driver == QLatin1String("QPSQL")) {
        const QString server = metadata(db, "server_fingerprint");
        const QString cars = fingerprint(db, carTables(), &reason);
        found = server.isEmpty() || cars.isEmpty() ? QString() : server + QLatin1Char(';') + cars;
    } else {
        *error = notBackup;
        return false;
    }
    const QStringList expectedCars = carTables();
    bool carsListed = facts->carTables.size() == expectedCars.size();
    for (const QString &table : expectedCars)
        carsListed = carsListed && facts->carTables.contains(table, Qt::CaseInsensitive);
    if (!knownFingerprint(found) || !carsListed) {
        // Named by the first table that differs, not by the whole list.
        const QStringList have = found.split(QLatin1Char(';')), need = expectedFingerprint().split(QLatin1Char(';'));
        qsizetype i = 0;
        while (i < need.size() && have.value(i) == need[i])
            ++i;
        *error = QStringLiteral("%1 is a backup of other tables than this program's: it holds %2 where the program "
                                "needs %3")
                     .arg(path, have.value(i, QStringLiteral("nothing")), need.value(i, need.constLast()));
        return false;
    }
    // Only rows are ever taken from a backup: a trigger, view, index or table
    // of its own, or a column the program's does not have, is refused.
    QStringList described;
    QString difference;
    if (!objects(db, &described, &reason)) {
        *error = QStringLiteral("%1 is damaged: %2").arg(path, reason);
        return false;
    }
    if (!knownObjects(described, facts->driver, &difference)) {
        *error = QStringLiteral("%1 holds other objects than this program's stores: %2").arg(path, difference);
        return false;
    }
    if (facts->driver == QLatin1String("QPSQL") && !checkDump(db, path, facts->schema, error))
        return false;
    return true;
}

bool extractDump(const Connection &db, const QString &target, QString *error) {
    sqlite3_blob *blob = nullptr;
    if (sqlite3_blob_open(db.get(), "main", "drevalon_backup_dump", "dump", 1, 0, &blob) != SQLITE_OK) {
        *error = QStringLiteral("the backup holds no server archive: %1").arg(db.lastError());
        return false;
    }
    QFile out(target);
    const int size = sqlite3_blob_bytes(blob);
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray chunk;
    for (int offset = 0; ok && offset < size;) {
        const int part = std::min(size - offset, 1 << 20);
        chunk.resize(part);
        ok = sqlite3_blob_read(blob, chunk.data(), part, offset) == SQLITE_OK && out.write(chunk) == part;
        offset += part;
    }
    sqlite3_blob_close(blob);
    if (!ok || !out.flush()) {
        *error = QStringLiteral("cannot write the server archive to %1: %2").arg(target, out.errorString());
        return false;
    }
    return true;
}

bool syncPath(const QString &path, QString *error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    const int cause = errno;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        *error = QStringLiteral("cannot write %1 to disk: %2").arg(path, QString::fromLocal8Bit(std::strerror(cause)));
    return ok;
}

} // namespace BackupFile
