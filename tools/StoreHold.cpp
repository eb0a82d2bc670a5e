// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreHold.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <libpq-fe.h>
#include <sys/file.h>
#include <unistd.h>

namespace StoreHold {

Descriptor::~Descriptor() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool heldByProgram(const QString &path, std::vector<std::unique_ptr<Descriptor>> *locks) {
    const QByteArray beside = QFile::encodeName(path + QLatin1String(".inuse"));
    auto fd = std::make_unique<Descriptor>(::open(beside.constData(), O_RDONLY | O_CLOEXEC));
    if (fd->get() < 0)
        return false;
    if (::flock(fd->get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    locks->push_back(std::move(fd));
    return false;
}

QString heldMessage(const QStringList &held) {
    return QStringLiteral("the program holds the stores open (%1): close Drevalon on every workstation that uses "
                          "them and try again")
        .arg(held.join(QStringLiteral(", ")));
}

QString programName(const QString &connectionText) {
    QString name = QStringLiteral("drevalon");
    if (PQconninfoOption *options = PQconninfoParse(connectionText.toUtf8().constData(), nullptr)) {
        for (PQconninfoOption *option = options; option->keyword; ++option)
            if (qstrcmp(option->keyword, "application_name") == 0 && option->val && *option->val)
                name = QString::fromUtf8(option->val);
        PQconninfoFree(options);
    }
    return name;
}

} // namespace StoreHold
