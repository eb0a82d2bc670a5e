// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The vocabulary of the demo stores: names, cars and parts as a Russian
// auto-parts shop sees them. Every value fits the column it is meant for.
namespace DemoCatalogue {

struct CarModel {
    QString model;         // Model, up to 30 characters
    QString wmi;           // first three VIN characters of the maker
    QStringList engines;   // DVS, up to 10 characters
    QStringList gearboxes; // KPP, up to 4 characters
};

struct Part {
    QString firm;
    QString number;
    QString description;
    double price; // typical price in roubles
    int usualKol; // how many a customer usually takes
};

struct Shop {
    QString name;
    QString address;
    QString phone;
    QString inn;
};

QStringList maleNames();
QStringList femaleNames();
// Masculine forms; feminineSurname() gives the matching form for a woman.
QStringList surnames();
QString feminineSurname(const QString &surname);
// "89xx" codes of mobile operators and "8xxx" city codes, 7 digits follow.
QStringList mobilePrefixes();
QStringList cityPrefixes();
QVector<CarModel> carModels();
QVector<Part> parts();
// Parts makers beyond the catalogue's ten, for sets whose values must not repeat.
QStringList makers();
Shop shop();

} // namespace DemoCatalogue
