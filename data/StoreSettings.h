#pragma once
#include <QString>

/// Where the two stores are: the database (driver and name) and the directory
/// the alias drevalon names. The program takes them from its build; tests point
/// them at temporary stores.
struct StoreSettings {
    QString driver;
    QString database;
    QString aliasDir;

    static StoreSettings fromBuild();
};
