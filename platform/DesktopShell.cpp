#include "platform/DesktopShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

void DesktopShell::openUrl(const QString &address) {
    // Addresses are kept as people write them, without a scheme; the desktop
    // needs one to know a web address from a file name.
    const QString full = address.contains(QLatin1String("://")) ? address : QStringLiteral("http://") + address;
    QDesktopServices::openUrl(QUrl(full, QUrl::TolerantMode));
}

void DesktopShell::startDetached(const QString &path, const QString &workingDir, ShowMode) {
    // A new process opens its windows as its own window manager places them:
    // there is no show mode to hand over here.
    QProcess::startDetached(path, {}, workingDir);
}
