// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "DemoCatalogue.h"

// The rows of a demo set as the generator hands them out, before any store
// sees them; each store writes them in its own way.
namespace DemoRows {

struct Customer {
    qint64 idcust = 0;
    QString name;
    QString lmane;
    QString phone;
    QString phone2;
};

struct Car {
    QString model;
    QString vin;
    QString engine;
    QString gearbox;
    qint64 idcust = 0;
};

// A line of the archive or of the order being composed.
struct OrderLine {
    qint64 idcust = 0;
    QString firm;
    QString number;
    QString description;
    int kol = 0;
    double cena = 0.0;
    QString date;    // yyyy-MM-dd; archive lines only
    QString station; // the workstation composing it; current lines only
};

using Shop = DemoCatalogue::Shop;

} // namespace DemoRows

// Where the database's demo rows go. Rows of one table arrive together, in
// the order customers, archive, current order, shop; finish() comes last and
// hands whatever is still held back to the store. A failed call ends the
// writing: the caller drops the target and the store's transaction with it.
class DemoTarget {
public:
    virtual ~DemoTarget() = default;
    virtual bool customer(const DemoRows::Customer &row, QString *error) = 0;
    virtual bool archiveLine(const DemoRows::OrderLine &row, QString *error) = 0;
    virtual bool currentLine(const DemoRows::OrderLine &row, QString *error) = 0;
    virtual bool shop(const DemoRows::Shop &row, QString *error) = 0;
    virtual bool finish(QString *error) = 0;
};
