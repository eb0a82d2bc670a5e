// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreCreator.h"
#include "SqliteHandle.h"
#include "platform/RestoreMark.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

int connectionCounter = 0;

// SQLite keeps these beside a database file. A journal left over from a
// replaced store would be played back into the new one and corrupt it.
const char *const sidecarSuffixes[] = {"-journal", "-wal", "-shm"};

bool removeIfPresent(const QString &path, QString *error) {
    if (!StoreCreator::occupied(path) || QFile::remove(path))
        return true;
    *error = QStringLiteral("cannot remove %1").arg(path);
    return false;
}

bool removeSidecars(const QString &path, QString *error) {
    for (const char *suffix : sidecarSuffixes) {
        if (!removeIfPresent(path + QLatin1String(suffix), error))
            return false;
    }
    return true;
}

bool removeWithSidecars(const QString &path, QString *error) {
    return removeIfPresent(path, error) && removeSidecars(path, error);
}

// A run killed part-way leaves its half-made store beside the target, named
// with its process number, and nothing else would ever take it away. Those of
// processes that are gone are removed; a run still going keeps its own.
void removeLeftByKilledRuns(const QString &target) {
    const QFileInfo info(target);
    const QString prefix = info.fileName() + QStringLiteral(".creating-");
    const QDir dir(info.absolutePath());
    // A restore's mark answers for the file it names until it is settled.
    RestoreMark::Mark mark;
    const bool marked = RestoreMark::read(target, &mark);
    for (const QString &name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(prefix)) // the filter ignores case and reads wildcards in the name
            continue;
        if (marked && name.startsWith(mark.staging))
            continue;
        QString number = name.mid(prefix.size());
        for (const char *suffix : sidecarSuffixes)
            if (number.endsWith(QLatin1String(suffix)))
                number.chop(qsizetype(std::strlen(suffix)));
        bool ok = false;
        const qint64 pid = number.toLongLong(&ok);
        if (!ok || pid <= 0 || pid != pid_t(pid))
            continue;
        const bool gone = pid == QCoreApplication::applicationPid() || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
        if (gone)
            QFile::remove(dir.filePath(name));
    }
}

} // namespace

StoreCreator::StoreCreator(QString targetPath, QString schemaResource)
    : m_target(std::move(targetPath)), m_schemaResource(std::move(schemaResource)),
      m_connection(QStringLiteral("drevalon-stores-%1").arg(++connectionCounter)) {}

StoreCreator::~StoreCreator() {
    close();
    if (!m_installed && !m_keepStaging && !m_staging.isEmpty()) {
        QString ignored;
        removeWithSidecars(m_staging, &ignored);
    }
}

bool StoreCreator::occupied(const QString &path) {
    // A dangling symbolic link counts: SQLite would create the file at its target.
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool StoreCreator::makeDirectory(const QString &dir) {
    if (QFileInfo(dir).isDir())
        return true;
    return QDir().mkpath(dir) && ::chmod(QFile::encodeName(dir).constData(), 02770) == 0;
}

bool StoreCreator::create(QString *error) {
    QString script;
    if (!m_schemaResource.isEmpty()) {
        QFile schemaFile(m_schemaResource);
        if (!schemaFile.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read the schema %1").arg(m_schemaResource);
            return false;
        }
        script = QString::fromUtf8(schemaFile.readAll());
    }

    removeLeftByKilledRuns(m_target);
    const QString staging = m_target + QStringLiteral(".creating-%1").arg(QCoreApplication::applicationPid());
    if (occupied(staging)) {
        *error = QStringLiteral("%1 is in the way; remove it and try again").arg(staging);
        return false;
    }
    m_staging = staging;

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(m_staging);
    if (!m_db.open()) {
        *error = QStringLiteral("cannot create %1: %2").arg(m_staging, m_db.lastError().text());
        return false;
    }
    // The customers' names and phones are the shop's: its group may read and
    // change them, nobody else. (A restore gives the file the permissions of
    // the one it replaces.)
    QFile::setPermissions(m_staging, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
    return script.isEmpty() || runScript(script, error);
}

bool StoreCreator::runScript(const QString &script, QString *error) {
    // Triggers hold ';' inside BEGIN ... END, so the script cannot be cut at
    // semicolons; SQLite's own parser runs it statement by statement.
    sqlite3 *raw = SqliteHandle::of(m_db, error);
    if (!raw)
        return false;
    // One transaction for the whole schema: a file only being made gains
    // nothing from a commit per statement, each of which waits for the disk.
    const QByteArray text = "BEGIN;\n" + script.toUtf8() + "\n;COMMIT;";
    QString said;
    if (SqliteHandle::exec(raw, text, &said))
        return true;
    *error = QStringLiteral("schema %1 failed: %2").arg(m_schemaResource, said);
    return false;
}

bool StoreCreator::prepareInstall(bool replace, QString *error) {
    close();
    if (!replace && occupied(m_target)) {
        *error = QStringLiteral("%1 appeared while the stores were being made").arg(m_target);
        return false;
    }
    m_replace = replace;
    // An old store's journal must not meet the new one.
    return removeSidecars(m_target, error);
}

bool StoreCreator::completeInstall(QString *error) {
    // The store itself is replaced by the rename in one step, so a run killed
    // here leaves the old store or the new, never none.
    const bool renamed =
        m_replace ? std::rename(QFile::encodeName(m_staging).constData(), QFile::encodeName(m_target).constData()) == 0
                  : QFile::rename(m_staging, m_target);
    if (!renamed) {
        *error = QStringLiteral("cannot rename %1 to %2").arg(m_staging, m_target);
        return false;
    }
    m_installed = true;
    return true;
}

void StoreCreator::close() {
    if (!m_db.isValid())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}
