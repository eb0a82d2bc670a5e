// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreHold.h"
#include "platform/StoreContract.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace StoreHold {

Descriptor::~Descriptor() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool heldByProgram(const QString &path, std::vector<std::unique_ptr<Descriptor>> *locks) {
    const QByteArray beside = QFile::encodeName(StoreContract::inUseMark(path));
    // Never through a link: the lock is the file beside the store, nothing else.
    auto fd = std::make_unique<Descriptor>(::open(beside.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd->get() < 0)
        return false;
    if (::flock(fd->get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    locks->push_back(std::move(fd));
    return false;
}

QString heldStore(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(StoreContract::inUseMark(path)).constData(), &info) != 0)
        return path;
    QFile table(QStringLiteral("/proc/locks"));
    if (!table.open(QIODevice::ReadOnly))
        return path;
    // "1: FLOCK  ADVISORY  READ  1234 08:01:5678 0 EOF": the holder's process and the file's device and inode.
    static const QRegularExpression line(
        QStringLiteral("^\\d+:\\s+FLOCK\\s+\\S+\\s+\\S+\\s+(\\d+)\\s+([0-9a-f]+):([0-9a-f]+):(\\d+)\\s"));
    QStringList holders;
    QSet<QString> seen;
    for (const QByteArray &row : table.readAll().split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(row));
        if (!m.hasMatch() || m.captured(4).toULongLong() != info.st_ino ||
            m.captured(2).toUInt(nullptr, 16) != major(info.st_dev) ||
            m.captured(3).toUInt(nullptr, 16) != minor(info.st_dev) || seen.contains(m.captured(1)))
            continue;
        seen.insert(m.captured(1));
        const QString proc = QStringLiteral("/proc/") + m.captured(1);
        QFile comm(proc + QStringLiteral("/comm"));
        const QString program =
            comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QStringLiteral("?");
        struct stat owner {};
        QString user = QStringLiteral("?");
        if (::stat(QFile::encodeName(proc).constData(), &owner) == 0) {
            const passwd *entry = ::getpwuid(owner.st_uid);
            user = entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(owner.st_uid);
        }
        holders.append(QStringLiteral("pid %1 %2 of %3").arg(m.captured(1), program, user));
    }
    return holders.isEmpty() ? path : QStringLiteral("%1, held by %2").arg(path, holders.join(QStringLiteral(", ")));
}

QString heldMessage(const QStringList &held) {
    return QStringLiteral("the program holds the stores open (%1): close Drevalon on every workstation that uses "
                          "them and try again")
        .arg(held.join(QStringLiteral(", ")));
}

QString programName(const QString &connectionText) {
    QString name = QString::fromLatin1(StoreContract::sessionName);
    if (PQconninfoOption *options = PQconninfoParse(connectionText.toUtf8().constData(), nullptr)) {
        for (PQconninfoOption *option = options; option->keyword; ++option)
            if (qstrcmp(option->keyword, "application_name") == 0 && option->val && *option->val)
                name = QString::fromUtf8(option->val);
        PQconninfoFree(options);
    }
    return name;
}

} // namespace StoreHold
