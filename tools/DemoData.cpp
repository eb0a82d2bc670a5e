// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoData.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

// Each section of the set draws from its own stream, so e.g. a longer archive
// leaves the customers and cars unchanged.
constexpr quint64 customerSeed = 0x44726576616C6F6EULL;
constexpr quint64 archiveSeed = customerSeed + 1;
constexpr quint64 currentSeed = customerSeed + 2;

// VIN characters: digits and letters except I, O and Q.
const QString vinAlphabet = QStringLiteral("ABCDEFGHJKLMNPRSTUVWXYZ0123456789");
// Model-year codes of the tenth VIN character, 2008 to 2023.
const QString vinYears = QStringLiteral("89ABCDEFGHJKLMNP");

constexpr double lowestPrice = 450.0;
constexpr double highestPrice = 12500.0;

bool failed(const QSqlQuery &query, const char *what, QString *error) {
    *error = QStringLiteral("writing %1 failed: %2").arg(QLatin1String(what), query.lastError().text());
    return false;
}

bool prepare(QSqlQuery &query, const QString &sql, const char *what, QString *error) {
    return query.prepare(sql) || failed(query, what, error);
}

} // namespace

DemoData::DemoData(Counts counts, QDate today)
    : m_counts(counts), m_today(today), m_maleNames(DemoCatalogue::maleNames()),
      m_femaleNames(DemoCatalogue::femaleNames()), m_surnames(DemoCatalogue::surnames()),
      m_mobiles(DemoCatalogue::mobilePrefixes()), m_cities(DemoCatalogue::cityPrefixes()),
      m_models(DemoCatalogue::carModels()), m_parts(DemoCatalogue::parts()) {}

bool DemoData::write(QSqlDatabase database, QSqlDatabase carTable, QString *error) {
    m_written = Written();
    m_idcusts.clear();
    if (!database.transaction() || !carTable.transaction()) {
        *error = QStringLiteral("cannot start a transaction");
        return false;
    }
    const bool ok = writeCustomersAndCars(database, carTable, error) && writeArchive(database, error) &&
                    writeCurrentOrder(database, error) && writeShop(database, error);
    if (!ok) {
        database.rollback();
        carTable.rollback();
        m_written = Written();
        return false;
    }
    if (!database.commit() || !carTable.commit()) {
        *error = QStringLiteral("cannot commit the demo data: %1")
                     .arg(database.lastError().text() + carTable.lastError().text());
        return false;
    }
    return true;
}

bool DemoData::writeCustomersAndCars(QSqlDatabase &database, QSqlDatabase &carTable, QString *error) {
    QSqlQuery customer(database);
    QSqlQuery car(carTable);
    if (!prepare(customer,
                 QStringLiteral("INSERT INTO customer (Name, lmane, phone, phone2) "
                                "VALUES (?, ?, ?, ?)"),
                 "customers", error) ||
        !prepare(car,
                 QStringLiteral("INSERT INTO drevalonParadox (Model, Vin, DVS, KPP, IdCust) "
                                "VALUES (?, ?, ?, ?, ?)"),
                 "cars", error))
        return false;

    DemoRandom random(customerSeed);
    m_idcusts.reserve(int(m_counts.customers));
    for (qint64 i = 0; i < m_counts.customers; ++i) {
        // Most of the shop's customers are men.
        const bool woman = random.chance(0.25);
        const QString surname = random.pick(m_surnames);
        customer.bindValue(0, random.pick(woman ? m_femaleNames : m_maleNames));
        customer.bindValue(1, woman ? DemoCatalogue::feminineSurname(surname) : surname);
        customer.bindValue(2, phone(random, m_mobiles));
        // A customer without a second phone has empty text there, never NULL
        // (a null QString would be bound as NULL).
        QString second = QStringLiteral("");
        if (random.chance(0.3))
            second = phone(random, random.chance(0.5) ? m_mobiles : m_cities);
        customer.bindValue(3, second);
        if (!customer.exec())
            return failed(customer, "customers", error);
        const qint64 idcust = customer.lastInsertId().toLongLong();
        m_idcusts.append(idcust);
        ++m_written.customers;

        // 0 to 3 cars, 1.5 on average.
        const double draw = random.unit();
        const int cars = draw < 0.10 ? 0 : draw < 0.55 ? 1 : draw < 0.85 ? 2 : 3;
        for (int c = 0; c < cars; ++c) {
            const DemoCatalogue::CarModel &model = random.pick(m_models);
            car.bindValue(0, model.model);
            car.bindValue(1, vin(random, model.wmi));
            car.bindValue(2, random.pick(model.engines));
            car.bindValue(3, random.pick(model.gearboxes));
            car.bindValue(4, idcust);
            if (!car.exec())
                return failed(car, "cars", error);
            ++m_written.cars;
        }
    }
    return true;
}

bool DemoData::writeArchive(QSqlDatabase &database, QString *error) {
    if (m_counts.archive == 0)
        return true;
    if (m_idcusts.isEmpty()) {
        *error = QStringLiteral("archive lines need at least one customer");
        return false;
    }
    QSqlQuery line(database);
    if (!prepare(line,
                 QStringLiteral("INSERT INTO orderAll "
                                "(idcust, Firm, number, description, kol, cena, Date) "
                                "VALUES (?, ?, ?, ?, ?, ?, ?)"),
                 "archive lines", error))
        return false;

    // The archive covers the two years before today, oldest first as it grew.
    const QDate first = m_today.addYears(-2);
    const qint64 span = first.daysTo(m_today);
    QStringList dates;
    for (qint64 day = 0; day < span; ++day)
        dates.append(first.addDays(day).toString(Qt::ISODate));

    DemoRandom random(archiveSeed);
    qint64 written = 0;
    while (written < m_counts.archive) {
        // One visit: a customer takes one to four parts on one day.
        const double draw = random.unit();
        const qint64 lines = std::min<qint64>(draw < 0.45   ? 1
                                              : draw < 0.75 ? 2
                                              : draw < 0.90 ? 3
                                                            : 4,
                                              m_counts.archive - written);
        const qint64 day = written * span / m_counts.archive;
        const double age = double(span - day) / double(span);
        line.bindValue(0, someCustomer(random));
        line.bindValue(6, dates.at(int(day)));
        for (qint64 l = 0; l < lines; ++l) {
            const DemoCatalogue::Part &part = random.pick(m_parts);
            line.bindValue(1, part.firm);
            line.bindValue(2, part.number);
            line.bindValue(3, part.description);
            line.bindValue(4, random.chance(0.8) ? part.usualKol : 1 + random.below(4));
            line.bindValue(5, price(random, part, age));
            if (!line.exec())
                return failed(line, "archive lines", error);
        }
        written += lines;
    }
    m_written.archive = written;
    return true;
}

bool DemoData::writeCurrentOrder(QSqlDatabase &database, QString *error) {
    if (m_idcusts.isEmpty())
        return true;
    QSqlQuery line(database);
    if (!prepare(line,
                 QStringLiteral("INSERT INTO orderNow (idcust, Firm, number, description, kol, "
                                "cena) VALUES (?, ?, ?, ?, ?, ?)"),
                 "the current order", error))
        return false;

    DemoRandom random(currentSeed);
    QVector<qint64> chosen;
    const int wanted = int(std::min<qint64>(2 + random.below(2), m_idcusts.size()));
    while (chosen.size() < wanted) {
        const qint64 idcust = random.pick(m_idcusts);
        if (!chosen.contains(idcust))
            chosen.append(idcust);
    }
    for (qint64 idcust : chosen) {
        const int lines = 1 + random.below(4);
        for (int l = 0; l < lines; ++l) {
            const DemoCatalogue::Part &part = random.pick(m_parts);
            line.bindValue(0, idcust);
            line.bindValue(1, part.firm);
            line.bindValue(2, part.number);
            line.bindValue(3, part.description);
            line.bindValue(4, part.usualKol);
            line.bindValue(5, price(random, part, 0.0));
            if (!line.exec())
                return failed(line, "the current order", error);
            ++m_written.current;
        }
    }
    return true;
}

bool DemoData::writeShop(QSqlDatabase &database, QString *error) {
    const DemoCatalogue::Shop shop = DemoCatalogue::shop();
    QSqlQuery row(database);
    if (!prepare(row, QStringLiteral("INSERT INTO IP (Name, Address, Phone, INN) VALUES (?, ?, ?, ?)"),
                 "the shop's requisites", error))
        return false;
    row.bindValue(0, shop.name);
    row.bindValue(1, shop.address);
    row.bindValue(2, shop.phone);
    row.bindValue(3, shop.inn);
    if (!row.exec())
        return failed(row, "the shop's requisites", error);
    m_written.shops = 1;
    return true;
}

QString DemoData::phone(DemoRandom &random, const QStringList &prefixes) const {
    QString number = random.pick(prefixes);
    while (number.size() < 11)
        number.append(QLatin1Char(char('0' + random.below(10))));
    return number;
}

QString DemoData::vin(DemoRandom &random, const QString &wmi) const {
    QString vin = wmi;
    while (vin.size() < 9)
        vin.append(random.pick(vinAlphabet));
    vin.append(random.pick(vinYears));
    vin.append(random.pick(vinAlphabet));
    while (vin.size() < 17)
        vin.append(QLatin1Char(char('0' + random.below(10))));
    return vin;
}

qint64 DemoData::someCustomer(DemoRandom &random) const {
    // A shop has regulars: a third of the visits come from the first fifth of
    // the customers.
    const int all = int(m_idcusts.size());
    return m_idcusts.at(random.chance(0.33) ? random.below(std::max(1, all / 5)) : random.below(all));
}

double DemoData::price(DemoRandom &random, const DemoCatalogue::Part &part, double age) const {
    // Prices were lower in the past and vary between deliveries; whole tens of roubles.
    const double factor = (1.0 - 0.15 * age) * (0.95 + 0.15 * random.unit());
    const double rounded = std::round(part.price * factor / 10.0) * 10.0;
    return std::clamp(rounded, lowestPrice, highestPrice);
}
