#pragma once
#include <QString>

/// Where the two stores are: the database (driver and name) and the directory
/// the alias drevalon names, and the name this workstation's order lines
/// carry. The program takes them from its build; tests point them at
/// temporary stores and name their own workstations.
struct StoreSettings {
    QString driver;
    QString database;
    QString aliasDir;
    QString workstation = {}; // empty: the login and host name

    static StoreSettings fromBuild();
};
