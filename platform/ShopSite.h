#pragma once
#include "DrevalonBuild.h"

#include <QString>
#include <QUrl>

/// The shop's web address as the program shows it and hands it on: the bare
/// host with the web-host prefix and no scheme, as people write it, whichever
/// form the build setting was given in. Header-only, so the picture generators
/// letter the same address.
namespace ShopSite {
inline QString address() {
    const QString setting = QString::fromUtf8(DrevalonBuild::webAddress);
    const QString host = QUrl::fromUserInput(setting).host();
    if (host.isEmpty())
        return setting;
    return host.startsWith(QLatin1String("www.")) ? host : QStringLiteral("www.") + host;
}
} // namespace ShopSite
