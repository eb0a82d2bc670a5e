// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QVector>

#include "DemoCatalogue.h"
#include "DemoRandom.h"
#include "DemoRows.h"

class SqliteDemoTarget;

// Makes a realistic demo set for freshly made stores: customers with their cars,
// an archive of past orders over the two years before today, an order being
// composed and the shop's requisites. The same counts always give the same rows,
// in the same order, whatever store they go to; only the archive dates move
// with today. Customers are numbered 1, 2, ... as an empty table numbers them.
class DemoData {
public:
    struct Counts {
        qint64 customers = 40;
        qint64 archive = 300;
    };
    struct Written {
        qint64 customers = 0;
        qint64 cars = 0;
        qint64 archive = 0;
        qint64 current = 0;
        qint64 shops = 0;
    };

    // What the archive's lines are made of: the catalogue's few dozen parts
    // over two years, as a small shop sees them; or, for measuring stores
    // whose values do not repeat, a part number of its own on every line,
    // descriptions that hardly repeat, many makers and six years of dates.
    enum class Archive { Catalogue, Distinct };

    // The current order is that of `workstation`, which opens on it.
    DemoData(Counts counts, QDate today, Archive archive = Archive::Catalogue, QString workstation = QString());

    // Hands the rows to the targets and finishes both; on failure the caller
    // drops both targets with whatever they were given.
    bool write(DemoTarget &database, SqliteDemoTarget &carTable, QString *error);
    const Written &written() const { return m_written; }

private:
    bool writeCustomersAndCars(DemoTarget &database, SqliteDemoTarget &carTable, QString *error);
    bool writeArchive(DemoTarget &database, QString *error);
    bool writeDistinctArchive(DemoTarget &database, QString *error);
    bool writeCurrentOrder(DemoTarget &database, QString *error);
    bool writeShop(DemoTarget &database, QString *error);

    QString phone(DemoRandom &random, const QStringList &prefixes) const;
    QString vin(DemoRandom &random, const QString &wmi) const;
    qint64 someCustomer(DemoRandom &random) const;
    double price(DemoRandom &random, const DemoCatalogue::Part &part, double age) const;

    Counts m_counts;
    QDate m_today;
    Archive m_archive;
    QString m_workstation;
    QStringList m_maleNames, m_femaleNames, m_surnames, m_mobiles, m_cities;
    QVector<DemoCatalogue::CarModel> m_models;
    QVector<DemoCatalogue::Part> m_parts;
    QStringList m_makers;
    QVector<qint64> m_idcusts;
    Written m_written;
};
