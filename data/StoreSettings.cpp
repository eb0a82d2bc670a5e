#include "data/StoreSettings.h"

#include "DrevalonBuild.h"

StoreSettings StoreSettings::fromBuild() {
    return {QString::fromUtf8(DrevalonBuild::storeDriver), QString::fromUtf8(DrevalonBuild::database),
            QString::fromUtf8(DrevalonBuild::aliasDir)};
}
