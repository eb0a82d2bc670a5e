#pragma once
#include <QString>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

/// The name a workstation's order lines carry: the build's setting, or else
/// the user's login and the host's name, so that two users of one PC are two
/// counters. Header-only, so the store tool names the one that runs it alike.
namespace Workstation {
inline QString loginName() {
    // The password database, not the environment: the program reads none.
    if (const passwd *entry = ::getpwuid(::geteuid()); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::geteuid());
}

inline QString name(const QString &setting) {
    if (!setting.trimmed().isEmpty())
        return setting.trimmed();
    return loginName() + QLatin1Char('@') + QSysInfo::machineHostName();
}
} // namespace Workstation
