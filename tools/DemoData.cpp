// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoData.h"

#include "SqliteDemoTarget.h"

#include <algorithm>
#include <cmath>

namespace {
// One visit: a customer takes one to four parts on one day (no more than are left).
qint64 visitLines(DemoRandom &random, qint64 left) {
    const double draw = random.unit();
    return std::min<qint64>(draw < 0.45 ? 1 : draw < 0.75 ? 2 : draw < 0.90 ? 3 : 4, left);
}

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

} // namespace

DemoData::DemoData(Counts counts, QDate today, Archive archive, QString workstation)
    : m_counts(counts), m_today(today), m_archive(archive), m_workstation(std::move(workstation)),
      m_maleNames(DemoCatalogue::maleNames()), m_femaleNames(DemoCatalogue::femaleNames()),
      m_surnames(DemoCatalogue::surnames()), m_mobiles(DemoCatalogue::mobilePrefixes()),
      m_cities(DemoCatalogue::cityPrefixes()), m_models(DemoCatalogue::carModels()), m_parts(DemoCatalogue::parts()),
      m_makers(DemoCatalogue::makers()) {}

bool DemoData::write(DemoTarget &database, SqliteDemoTarget &carTable, QString *error) {
    m_written = Written();
    m_idcusts.clear();
    auto archive = [&] {
        return m_archive == Archive::Distinct ? writeDistinctArchive(database, error) : writeArchive(database, error);
    };
    const bool ok = writeCustomersAndCars(database, carTable, error) && archive() &&
                    writeCurrentOrder(database, error) && writeShop(database, error) && database.finish(error) &&
                    carTable.finish(error);
    if (!ok)
        m_written = Written();
    return ok;
}

bool DemoData::writeCustomersAndCars(DemoTarget &database, SqliteDemoTarget &carTable, QString *error) {
    DemoRandom random(customerSeed);
    m_idcusts.reserve(int(m_counts.customers));
    DemoRows::Customer customer;
    DemoRows::Car car;
    for (qint64 i = 0; i < m_counts.customers; ++i) {
        customer.idcust = i + 1;
        // Most of the shop's customers are men.
        const bool woman = random.chance(0.25);
        const QString surname = random.pick(m_surnames);
        customer.name = random.pick(woman ? m_femaleNames : m_maleNames);
        customer.lmane = woman ? DemoCatalogue::feminineSurname(surname) : surname;
        customer.phone = phone(random, m_mobiles);
        // A customer without a second phone has empty text there, never NULL
        // (a null QString is written as NULL).
        customer.phone2 = QStringLiteral("");
        if (random.chance(0.3))
            customer.phone2 = phone(random, random.chance(0.5) ? m_mobiles : m_cities);
        if (!database.customer(customer, error))
            return false;
        m_idcusts.append(customer.idcust);
        ++m_written.customers;

        // 0 to 3 cars, 1.5 on average.
        const double draw = random.unit();
        const int cars = draw < 0.10 ? 0 : draw < 0.55 ? 1 : draw < 0.85 ? 2 : 3;
        for (int c = 0; c < cars; ++c) {
            const DemoCatalogue::CarModel &model = random.pick(m_models);
            car.model = model.model;
            car.vin = vin(random, model.wmi);
            car.engine = random.pick(model.engines);
            car.gearbox = random.pick(model.gearboxes);
            car.idcust = customer.idcust;
            if (!carTable.car(car, error))
                return false;
            ++m_written.cars;
        }
    }
    return true;
}

bool DemoData::writeArchive(DemoTarget &database, QString *error) {
    if (m_counts.archive == 0)
        return true;
    if (m_idcusts.isEmpty()) {
        *error = QStringLiteral("archive lines need at least one customer");
        return false;
    }

    // The archive covers the two years before today, oldest first as it grew.
    const QDate first = m_today.addYears(-2);
    const qint64 span = first.daysTo(m_today);
    QStringList dates;
    for (qint64 day = 0; day < span; ++day)
        dates.append(first.addDays(day).toString(Qt::ISODate));

    DemoRandom random(archiveSeed);
    DemoRows::OrderLine line;
    qint64 written = 0;
    while (written < m_counts.archive) {
        const qint64 lines = visitLines(random, m_counts.archive - written);
        const qint64 day = written * span / m_counts.archive;
        const double age = double(span - day) / double(span);
        line.idcust = someCustomer(random);
        line.date = dates.at(int(day));
        for (qint64 l = 0; l < lines; ++l) {
            const DemoCatalogue::Part &part = random.pick(m_parts);
            line.firm = part.firm;
            line.number = part.number;
            line.description = part.description;
            line.kol = random.chance(0.8) ? part.usualKol : 1 + random.below(4);
            line.cena = price(random, part, age);
            if (!database.archiveLine(line, error))
                return false;
        }
        written += lines;
    }
    m_written.archive = written;
    return true;
}

bool DemoData::writeDistinctArchive(DemoTarget &database, QString *error) {
    if (m_counts.archive == 0)
        return true;
    if (m_idcusts.isEmpty()) {
        *error = QStringLiteral("archive lines need at least one customer");
        return false;
    }
    const QDate first = m_today.addYears(-6);
    const qint64 span = first.daysTo(m_today);
    // A part may be the left or right one, or a variant of it: with the car,
    // its engine and its years this gives over a million descriptions.
    const QStringList variants = {QString(), QStringLiteral(", левый"), QStringLiteral(", правый"),
                                  QStringLiteral(", усиленный"), QStringLiteral(", аналог")};
    const QString letters = QStringLiteral("ABCDEFGHJKLMNPRSTUVWXYZ");

    DemoRandom random(archiveSeed);
    DemoRows::OrderLine line;
    qint64 written = 0;
    while (written < m_counts.archive) {
        const qint64 lines = visitLines(random, m_counts.archive - written);
        const qint64 day = written * span / m_counts.archive;
        line.idcust = someCustomer(random);
        line.date = first.addDays(day).toString(Qt::ISODate);
        for (qint64 l = 0; l < lines; ++l) {
            // One draw after the other: the order of a function's arguments is unspecified.
            const DemoCatalogue::Part &part = random.pick(m_parts);
            const DemoCatalogue::CarModel &car = random.pick(m_models);
            const QString &variant = random.pick(variants);
            const QString &engine = random.pick(car.engines);
            const int from = 2008 + random.below(16);
            const int to = from + 2 + random.below(6);
            const QChar firstLetter = random.pick(letters);
            const QChar secondLetter = random.pick(letters);
            const int suffix = random.below(100);
            line.firm = random.pick(m_makers);
            // The line's own number makes the part number unique; the letters
            // and the suffix keep the numbers from sorting as they were written.
            line.number = QStringLiteral("%1%2 %3-%4")
                              .arg(firstLetter)
                              .arg(secondLetter)
                              .arg(written + l + 1, 7, 10, QLatin1Char('0'))
                              .arg(suffix, 2, 10, QLatin1Char('0'));
            line.description =
                QStringLiteral("%1%2 %3 %4 %5-%6").arg(part.description, variant, car.model, engine).arg(from).arg(to);
            line.kol = 1 + random.below(4);
            // Whole roubles over a wide range: thousands of prices, not a few hundred.
            const double factor = 0.6 + 0.8 * random.unit();
            line.cena = std::clamp(std::round(part.price * factor), lowestPrice, highestPrice);
            if (!database.archiveLine(line, error))
                return false;
        }
        written += lines;
    }
    m_written.archive = written;
    return true;
}

bool DemoData::writeCurrentOrder(DemoTarget &database, QString *error) {
    if (m_idcusts.isEmpty())
        return true;
    // One customer's order, the customer the order page selects first: the
    // order total covers the whole table, so a first work order printed out
    // of the box shows its lines under a total that is theirs.
    DemoRandom random(currentSeed);
    DemoRows::OrderLine line;
    line.idcust = m_idcusts.front();
    line.station = m_workstation;
    const int lines = 2 + random.below(3);
    for (int l = 0; l < lines; ++l) {
        const DemoCatalogue::Part &part = random.pick(m_parts);
        line.firm = part.firm;
        line.number = part.number;
        line.description = part.description;
        line.kol = part.usualKol;
        line.cena = price(random, part, 0.0);
        if (!database.currentLine(line, error))
            return false;
        ++m_written.current;
    }
    return true;
}

bool DemoData::writeShop(DemoTarget &database, QString *error) {
    if (!database.shop(DemoCatalogue::shop(), error))
        return false;
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
