#pragma once
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

/// A server's restore pairs a new database with a new car table, and the two
/// cannot change in one step: the server commits, then the car table file
/// takes its name. Before the commit the restore leaves a mark beside the car
/// table naming its server transaction and the new car table's file; once
/// both are in place the mark goes. A restore killed in between leaves the
/// mark, and the next restore or program start asks the server whether that
/// transaction committed: then the new car table takes its place, else it
/// goes. Either pair stands, never a new database with the old car table.
/// Header-only, so the program and the store tool settle a mark alike.
namespace RestoreMark {

inline QString markPath(const QString &carTable) { return carTable + QStringLiteral(".restoring"); }

struct Mark {
    QString transaction; // the server's transaction id
    QString staging;     // the new car table's file, beside the car table
};

inline bool syncDirectoryOf(const QString &path) {
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

/// The mark beside `carTable`; false when there is none or it does not read.
inline bool read(const QString &carTable, Mark *mark) {
    QFile file(markPath(carTable));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QStringList lines = QString::fromUtf8(file.read(4096)).split(QLatin1Char('\n'));
    if (lines.size() < 2)
        return false;
    mark->transaction = lines[0].trimmed();
    mark->staging = lines[1].trimmed();
    // Only a file beside the car table, by its bare name, is ever renamed.
    bool number = false;
    mark->transaction.toULongLong(&number);
    return number && !mark->staging.isEmpty() && !mark->staging.contains(QLatin1Char('/'));
}

/// The staging file of a mark, as a path.
inline QString stagingPath(const QString &carTable, const Mark &mark) {
    return QFileInfo(carTable).absoluteDir().filePath(mark.staging);
}

/// Writes the mark whole to disk, with its directory.
inline bool write(const QString &carTable, const QString &transaction, const QString &staging) {
    QSaveFile file(markPath(carTable));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(transaction.toUtf8() + '\n' + QFileInfo(staging).fileName().toUtf8() + '\n');
    return file.commit() && syncDirectoryOf(carTable);
}

inline bool remove(const QString &carTable) {
    return (QFile::remove(markPath(carTable)) || !QFileInfo::exists(markPath(carTable))) && syncDirectoryOf(carTable);
}

enum class Outcome {
    None,    // no mark
    Old,     // the transaction did not commit: the old pair stands
    New,     // it did: the new car table is in place
    Pending, // it is still under way
    Unknown, // the server could not tell
};

/// Settles a mark left beside `carTable`. `status` gives the server's word
/// on a transaction id: "committed", "aborted", "in progress", or an empty
/// text when it cannot be asked.
inline Outcome settle(const QString &carTable, const std::function<QString(const QString &)> &status) {
    Mark mark;
    if (!QFileInfo::exists(markPath(carTable)))
        return Outcome::None;
    if (!read(carTable, &mark))
        return Outcome::Unknown;
    const QString said = status(mark.transaction);
    const QString staging = stagingPath(carTable, mark);
    if (said == QLatin1String("committed")) {
        // Renamed already when only the mark's removal was missed.
        if (QFileInfo::exists(staging) &&
            std::rename(QFile::encodeName(staging).constData(), QFile::encodeName(carTable).constData()) != 0)
            return Outcome::Unknown;
        return remove(carTable) ? Outcome::New : Outcome::Unknown;
    }
    if (said == QLatin1String("aborted")) {
        QFile::remove(staging);
        QFile::remove(staging + QStringLiteral("-journal"));
        return remove(carTable) ? Outcome::Old : Outcome::Unknown;
    }
    return said == QLatin1String("in progress") ? Outcome::Pending : Outcome::Unknown;
}

} // namespace RestoreMark
