#include "data/StoreSettings.h"

#include "DrevalonBuild.h"
#include "platform/ProgramPath.h"
#include "platform/Workstation.h"

StoreSettings StoreSettings::fromBuild() {
    const QString driver = QString::fromUtf8(DrevalonBuild::storeDriver);
    QString database = QString::fromUtf8(DrevalonBuild::database);
    // A server's connection text is no path.
    if (driver == QLatin1String("QSQLITE"))
        database = ProgramPath::resolve(database);
    return {driver, database, ProgramPath::resolve(QString::fromUtf8(DrevalonBuild::aliasDir)),
            Workstation::name(QString::fromUtf8(DrevalonBuild::workstation))};
}
