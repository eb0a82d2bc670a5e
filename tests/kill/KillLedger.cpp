#include "tests/kill/KillLedger.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

/// One connection to a store file for the checks. The program's stores are
/// opened for writing, as the next start opens them, so that a transaction
/// the kill cut through is rolled back before anything is read.
class Probe {
public:
    Probe(const QString &path, bool readOnly) : m_name(QStringLiteral("kill-probe-%1").arg(++s_count)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            m_error = db.lastError().text();
    }
    ~Probe() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;

    /// Every row of the statement; on an error, none and the error kept.
    QList<QVariantList> rows(const QString &sql) {
        QList<QVariantList> out;
        if (!m_error.isEmpty())
            return out;
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql)) {
            m_error = sql + QStringLiteral(": ") + query.lastError().text();
            return out;
        }
        while (query.next()) {
            QVariantList row;
            for (int c = 0; c < query.record().count(); ++c)
                row.append(query.value(c));
            out.append(row);
        }
        return out;
    }
    qint64 number(const QString &sql) { return rows(sql).value(0).value(0).toLongLong(); }
    /// "ok", or what the store's own check found.
    QString integrity() {
        QStringList found;
        for (const QVariantList &row : rows(QStringLiteral("pragma integrity_check")))
            found.append(row.value(0).toString());
        return found.join(QStringLiteral("; "));
    }
    const QString &error() const { return m_error; }

private:
    static inline int s_count = 0;
    QString m_name;
    QString m_error;
};

bool hotJournal(const QString &store) {
    const QFileInfo journal(store + QStringLiteral("-journal"));
    return journal.exists() && journal.size() > 0;
}

/// The stores a killed run of the store tool was still making beside a target.
int stagingBeside(const QString &target) {
    const QFileInfo info(target);
    int count = 0;
    for (const QString &name :
         QDir(info.absolutePath()).entryList({info.fileName() + QStringLiteral(".creating-*")}, QDir::Files))
        if (!name.endsWith(QLatin1String("-journal")) && !name.endsWith(QLatin1String("-wal")) &&
            !name.endsWith(QLatin1String("-shm")))
            ++count;
    return count;
}

/// Adds the examples of one kind of fault, a few of them and how many in all.
void report(QStringList &faults, const QString &kind, const QStringList &examples) {
    if (examples.isEmpty())
        return;
    QString text = kind + QStringLiteral(": ") + examples.mid(0, 5).join(QStringLiteral(", "));
    if (examples.size() > 5)
        text += QStringLiteral(" and %1 more").arg(examples.size() - 5);
    faults.append(text);
}

} // namespace

struct KillLedger::Stored {
    QHash<QString, QList<Line>> lines;    // every copy of each order line
    QHash<qint64, QString> customers;     // number → surname
    QHash<QString, QList<qint64>> cars;   // VIN → owners (-1 for none)
    int toolDatabase = -1, toolCars = -1; // the demo each holds; -1 absent, -2 none of them
    QStringList faults;
};

KillLedger::KillLedger(Paths paths, QList<Demo> demos) : m_paths(std::move(paths)), m_demos(std::move(demos)) {}

void KillLedger::knowCustomer(qint64 id) { m_customers.insert(id); }

void KillLedger::knowCar(const QString &vin, qint64 owner) { m_cars.insert(vin, owner); }

void KillLedger::forgetCarsOf(qint64 owner, const QHash<QString, QList<qint64>> &kept) {
    for (auto it = m_cars.begin(); it != m_cars.end();)
        it = it.value() == owner && !kept.contains(it.key()) ? m_cars.erase(it) : std::next(it);
}

int KillLedger::demoOf(int customers, int archive) const {
    for (int i = 0; i < m_demos.size(); ++i)
        if (m_demos[i].customers == customers && m_demos[i].archive == archive)
            return i;
    return -1;
}

void KillLedger::read(const QStringList &said) {
    for (const QString &line : said) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString what = words.value(0);
        if (what == QLatin1String("ready"))
            continue;
        if (what == QLatin1String("error")) {
            m_readFaults.append(QStringLiteral("the workstation stopped on an error: ") + line.mid(6));
        } else if (what == QLatin1String("begin") && words.size() >= 2) {
            if (!m_underWay.isEmpty())
                m_readFaults.append(
                    QStringLiteral("'%1' begun while '%2' was under way").arg(line, m_underWay.join(QLatin1Char(' '))));
            m_underWay = words.mid(1);
        } else if (what == QLatin1String("done") && words.size() >= 2 && words.value(1) == m_underWay.value(0)) {
            confirm(m_underWay, words.mid(1));
            m_confirmed[m_underWay.value(0)] += 1;
            m_underWay.clear();
        } else {
            m_readFaults.append(QStringLiteral("unexpected from the workstation: ") + line);
        }
    }
}

void KillLedger::confirm(const QStringList &begun, const QStringList &done) {
    const QString kind = begun.value(0);
    if (kind == QLatin1String("post")) {
        if (m_lines.contains(begun.value(1)))
            m_readFaults.append(QStringLiteral("line %1 posted twice").arg(begun.value(1)));
        m_lines.insert(begun.value(1), {begun.value(3).toInt(), false});
    } else if (kind == QLatin1String("edit")) {
        m_lines[begun.value(1)].kol = begun.value(2).toInt();
    } else if (kind == QLatin1String("fill")) {
        for (int i = 1; i <= begun.value(2).toInt(); ++i)
            m_lines.insert(QStringLiteral("%1/%2").arg(begun.value(1)).arg(i), {4, false});
    } else if (kind == QLatin1String("move")) {
        for (Line &line : m_lines)
            line.archived = true;
    } else if (kind == QLatin1String("add")) {
        m_customers.insert(done.value(2).toLongLong());
    } else if (kind == QLatin1String("car")) {
        m_cars.insert(begun.value(1), begun.value(2).toLongLong());
    } else if (kind == QLatin1String("delete")) {
        const qint64 id = begun.value(1).toLongLong();
        m_customers.remove(id);
        forgetCarsOf(id, {});
    } else if (kind == QLatin1String("tool")) {
        m_toolDatabase = m_toolCars = demoOf(begun.value(1).toInt(), begun.value(2).toInt());
    }
}

QStringList KillLedger::settleAndCheck() {
    ++m_rounds;
    // The traces a kill inside a write leaves on disk, looked at before any
    // connection rolls them back.
    const bool hotDatabase = hotJournal(m_paths.database), hotCars = hotJournal(m_paths.carTable);
    m_hotJournals += hotDatabase || hotCars ? 1 : 0;
    const int staging = stagingBeside(m_paths.toolDatabase) + stagingBeside(m_paths.toolCarTable);
    if (staging > 0 && m_underWay.value(0) == QLatin1String("tool"))
        ++m_toolStaging;

    Stored stored;
    for (const QString &target : {m_paths.toolDatabase, m_paths.toolCarTable})
        if (stagingBeside(target) > 1)
            stored.faults.append(QStringLiteral("%1 half-made stores of killed runs left beside %2")
                                     .arg(stagingBeside(target))
                                     .arg(QFileInfo(target).fileName()));
    {
        Probe db(m_paths.database, false);
        const QString integrity = db.integrity();
        if (integrity != QLatin1String("ok"))
            stored.faults.append(QStringLiteral("the database fails its integrity check: ") + integrity);
        for (const QVariantList &row : db.rows(QStringLiteral("select number, kol, 0 from orderNow union all "
                                                              "select number, kol, 1 from orderAll")))
            stored.lines[row.value(0).toString()].append({row.value(1).toInt(), row.value(2).toInt() == 1});
        for (const QVariantList &row : db.rows(QStringLiteral("select idcust, trim(lmane) from customer")))
            stored.customers.insert(row.value(0).toLongLong(), row.value(1).toString());
        const qint64 brokenCustomers = db.number(QStringLiteral(
            "select count(*) from customer where Name is null or lmane is null or phone is null or phone2 is null "
            "or length(Name) <> 15 or length(lmane) <> 15 or length(phone) <> 11 or length(phone2) <> 11"));
        const qint64 brokenLines = db.number(QStringLiteral(
            "select count(*) from (select idcust, Firm, number, description, kol, cena, 1 as Date from orderNow "
            "union all select idcust, Firm, number, description, kol, cena, Date from orderAll) "
            "where idcust is null or Firm is null or number is null or description is null or kol is null "
            "or cena is null or Date is null"));
        if (brokenCustomers > 0)
            stored.faults.append(QStringLiteral("%1 customers without all their fields").arg(brokenCustomers));
        if (brokenLines > 0)
            stored.faults.append(QStringLiteral("%1 order lines without all their fields").arg(brokenLines));
        if (!db.error().isEmpty())
            stored.faults.append(QStringLiteral("the database cannot be read: ") + db.error());
    }
    {
        Probe cars(m_paths.carTable, false);
        const QString integrity = cars.integrity();
        if (integrity != QLatin1String("ok"))
            stored.faults.append(QStringLiteral("the car table fails its integrity check: ") + integrity);
        for (const QVariantList &row : cars.rows(QStringLiteral("select trim(Vin), IdCust from drevalonParadox")))
            stored.cars[row.value(0).toString()].append(row.value(1).isNull() ? -1 : row.value(1).toLongLong());
        const qint64 broken = cars.number(QStringLiteral(
            "select count(*) from drevalonParadox where Model is null or trim(Model) = '' or Vin is null "
            "or trim(Vin) = '' or DVS is null or KPP is null"));
        if (broken > 0)
            stored.faults.append(QStringLiteral("%1 cars without all their fields").arg(broken));
        if (!cars.error().isEmpty())
            stored.faults.append(QStringLiteral("the car table cannot be read: ") + cars.error());
    }

    // The store tool's pair: each file absent, or one whole demo set.
    auto identify = [&](const QString &path, bool database) {
        if (!QFileInfo::exists(path))
            return -1;
        Probe probe(path, true);
        const QString name = QFileInfo(path).fileName();
        const QString integrity = probe.integrity();
        if (integrity != QLatin1String("ok")) {
            stored.faults.append(QStringLiteral("the tool's %1 fails its integrity check: %2").arg(name, integrity));
            return -2;
        }
        Demo found;
        if (database) {
            found.customers = probe.number(QStringLiteral("select count(*) from customer"));
            found.archive = probe.number(QStringLiteral("select count(*) from orderAll"));
            found.current = probe.number(QStringLiteral("select count(*) from orderNow"));
            found.shops = probe.number(QStringLiteral("select count(*) from IP"));
        } else {
            found.cars = probe.number(QStringLiteral("select count(*) from drevalonParadox"));
        }
        for (int i = 0; i < m_demos.size(); ++i) {
            const Demo &d = m_demos[i];
            if (database ? (d.customers == found.customers && d.archive == found.archive &&
                            d.current == found.current && d.shops == found.shops)
                         : d.cars == found.cars)
                return i;
        }
        stored.faults.append(QStringLiteral("the tool's %1 is half-made (%2 customers, %3 archive lines, %4 cars)")
                                 .arg(name)
                                 .arg(found.customers)
                                 .arg(found.archive)
                                 .arg(found.cars));
        return -2;
    };
    stored.toolDatabase = identify(m_paths.toolDatabase, true);
    stored.toolCars = identify(m_paths.toolCarTable, false);

    settle(stored);
    QStringList faults = m_readFaults + stored.faults;
    m_readFaults.clear();
    compare(stored, faults);
    return faults;
}

void KillLedger::settle(const Stored &stored) {
    if (m_underWay.isEmpty())
        return;
    const QString kind = m_underWay.value(0);
    m_cut[kind] += 1;
    const QStringList &w = m_underWay;
    if (kind == QLatin1String("post")) {
        if (stored.lines.value(w.value(1)).size() == 1)
            m_lines.insert(w.value(1), {w.value(3).toInt(), false});
    } else if (kind == QLatin1String("edit")) {
        const QList<Line> copies = stored.lines.value(w.value(1));
        if (copies.size() == 1 && copies.first().kol == w.value(2).toInt())
            m_lines[w.value(1)].kol = copies.first().kol;
    } else if (kind == QLatin1String("fill")) {
        const int count = w.value(2).toInt();
        int present = 0;
        for (int i = 1; i <= count; ++i)
            present += stored.lines.contains(QStringLiteral("%1/%2").arg(w.value(1)).arg(i)) ? 1 : 0;
        if (present == count)
            confirm(w, w);
        else if (present != 0)
            m_readFaults.append(QStringLiteral("%1 of the %2 lines of a cut fill were stored").arg(present).arg(count));
    } else if (kind == QLatin1String("move")) {
        int waiting = 0, archived = 0;
        for (auto it = m_lines.cbegin(); it != m_lines.cend(); ++it) {
            if (it->archived)
                continue;
            ++waiting;
            const QList<Line> copies = stored.lines.value(it.key());
            archived += copies.size() == 1 && copies.first().archived ? 1 : 0;
        }
        if (waiting > 0 && archived == waiting)
            confirm(w, w);
        else if (archived != 0)
            m_readFaults.append(
                QStringLiteral("a cut move archived %1 of the %2 lines of the order").arg(archived).arg(waiting));
    } else if (kind == QLatin1String("add")) {
        for (auto it = stored.customers.cbegin(); it != stored.customers.cend(); ++it)
            if (it.value() == w.value(1))
                m_customers.insert(it.key());
    } else if (kind == QLatin1String("car")) {
        if (stored.cars.contains(w.value(1)))
            confirm(w, w);
    } else if (kind == QLatin1String("delete")) {
        const qint64 id = w.value(1).toLongLong();
        if (!stored.customers.contains(id))
            confirm(w, w);
        else // the customer stays; the cars deleted before the kill are gone
            forgetCarsOf(id, stored.cars);
    } else if (kind == QLatin1String("tool")) {
        const int made = demoOf(w.value(1).toInt(), w.value(2).toInt());
        if (stored.toolDatabase == made)
            m_toolDatabase = made;
        if (stored.toolCars == made)
            m_toolCars = made;
        // Each store is whole, but the kill came between the two renames.
        if (m_toolDatabase != m_toolCars)
            ++m_mixedPairs;
    }
    m_underWay.clear();
}

void KillLedger::compare(const Stored &stored, QStringList &faults) const {
    QStringList lost, twice, misplaced, changed, unknown;
    for (auto it = m_lines.cbegin(); it != m_lines.cend(); ++it) {
        const QList<Line> copies = stored.lines.value(it.key());
        if (copies.isEmpty())
            lost.append(it.key());
        else if (copies.size() > 1)
            twice.append(it.key());
        else if (copies.first().archived != it->archived)
            misplaced.append(it.key());
        else if (copies.first().kol != it->kol)
            changed.append(it.key());
    }
    for (auto it = stored.lines.cbegin(); it != stored.lines.cend(); ++it)
        if (!m_lines.contains(it.key()))
            unknown.append(it.key());
    report(faults, QStringLiteral("confirmed order lines lost"), lost);
    report(faults, QStringLiteral("order lines stored more than once"), twice);
    report(faults, QStringLiteral("order lines in the wrong table"), misplaced);
    report(faults, QStringLiteral("order lines without their confirmed quantity"), changed);
    report(faults, QStringLiteral("order lines nobody confirmed"), unknown);

    QStringList customersLost, customersUnknown;
    for (qint64 id : m_customers)
        if (!stored.customers.contains(id))
            customersLost.append(QString::number(id));
    for (auto it = stored.customers.cbegin(); it != stored.customers.cend(); ++it)
        if (!m_customers.contains(it.key()))
            customersUnknown.append(QString::number(it.key()));
    report(faults, QStringLiteral("confirmed customers lost"), customersLost);
    report(faults, QStringLiteral("customers back or never confirmed"), customersUnknown);

    QStringList carsLost, carsUnknown, carsTwice, orphans;
    for (auto it = m_cars.cbegin(); it != m_cars.cend(); ++it)
        if (stored.cars.value(it.key()) != QList<qint64>{it.value()})
            carsLost.append(it.key());
    for (auto it = stored.cars.cbegin(); it != stored.cars.cend(); ++it) {
        if (!m_cars.contains(it.key()))
            carsUnknown.append(it.key());
        if (it->size() > 1)
            carsTwice.append(it.key());
        for (qint64 owner : *it)
            if (owner != -1 && !stored.customers.contains(owner))
                orphans.append(it.key());
    }
    report(faults, QStringLiteral("confirmed cars lost or moved"), carsLost);
    report(faults, QStringLiteral("cars back or never confirmed"), carsUnknown);
    report(faults, QStringLiteral("cars stored more than once"), carsTwice);
    report(faults, QStringLiteral("cars of customers who are gone"), orphans);

    if (stored.toolDatabase >= -1 && stored.toolDatabase != m_toolDatabase)
        faults.append(QStringLiteral("the tool's database holds demo %1 where %2 was made last")
                          .arg(stored.toolDatabase)
                          .arg(m_toolDatabase));
    if (stored.toolCars >= -1 && stored.toolCars != m_toolCars)
        faults.append(QStringLiteral("the tool's car table holds demo %1 where %2 was made last")
                          .arg(stored.toolCars)
                          .arg(m_toolCars));
}

int KillLedger::cutSteps() const {
    int cut = 0;
    for (int n : m_cut)
        cut += n;
    return cut;
}

QString KillLedger::figures() const {
    auto list = [](const QMap<QString, int> &counts) {
        QStringList counted;
        int total = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            counted.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
            total += it.value();
        }
        return QStringLiteral("%1 (%2)").arg(total).arg(counted.join(QStringLiteral(", ")));
    };
    qint64 archived = 0;
    for (const Line &line : m_lines)
        archived += line.archived ? 1 : 0;
    return QStringLiteral("rounds %1; steps confirmed %2; kills inside a step %3; kills that left a rollback "
                          "journal %4; kills inside the store tool's making %5, leaving its pair from two runs %6; "
                          "order lines held %7 (%8 archived), customers %9, cars %10")
        .arg(m_rounds)
        .arg(list(m_confirmed), list(m_cut))
        .arg(m_hotJournals)
        .arg(m_toolStaging)
        .arg(m_mixedPairs)
        .arg(m_lines.size())
        .arg(archived)
        .arg(m_customers.size())
        .arg(m_cars.size());
}
