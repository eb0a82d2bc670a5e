// SPDX-License-Identifier: GPL-3.0-or-later
#include "SqliteDemoTarget.h"

#include <QSqlError>
#include <QVariant>

SqliteDemoTarget::SqliteDemoTarget(QSqlDatabase database)
    : m_db(database), m_customer{"customers",
                                 "INSERT INTO customer (idcust, Name, lmane, phone, phone2) VALUES (?, ?, ?, ?, ?)",
                                 QSqlQuery(database)},
      m_archive{"archive lines",
                "INSERT INTO orderAll (idcust, Firm, number, description, kol, cena, Date) "
                "VALUES (?, ?, ?, ?, ?, ?, ?)",
                QSqlQuery(database)},
      m_current{"the current order",
                "INSERT INTO orderNow (idcust, Firm, number, description, kol, cena, station) "
                "VALUES (?, ?, ?, ?, ?, ?, ?)",
                QSqlQuery(database)},
      m_shop{"the shop's requisites", "INSERT INTO IP (Name, Address, Phone, INN) VALUES (?, ?, ?, ?)",
             QSqlQuery(database)},
      m_car{"cars", "INSERT INTO drevalonParadox (Model, Vin, DVS, KPP, IdCust) VALUES (?, ?, ?, ?, ?)",
            QSqlQuery(database)} {}

SqliteDemoTarget::~SqliteDemoTarget() {
    if (m_inTransaction)
        m_db.rollback();
}

bool SqliteDemoTarget::customer(const DemoRows::Customer &row, QString *error) {
    if (!ready(m_customer, error))
        return false;
    QSqlQuery &q = m_customer.query;
    q.bindValue(0, row.idcust);
    q.bindValue(1, row.name);
    q.bindValue(2, row.lmane);
    q.bindValue(3, row.phone);
    q.bindValue(4, row.phone2);
    return run(m_customer, error);
}

bool SqliteDemoTarget::archiveLine(const DemoRows::OrderLine &row, QString *error) {
    if (!ready(m_archive, error))
        return false;
    QSqlQuery &q = m_archive.query;
    // The lines of one visit share customer and day; a bound value stays bound
    // from one execution to the next, and binding is a good part of the cost.
    if (row.idcust != m_archiveIdcust || m_archiveDate.isNull()) {
        q.bindValue(0, row.idcust);
        m_archiveIdcust = row.idcust;
    }
    if (row.date != m_archiveDate || m_archiveDate.isNull()) {
        // Stored as the ISO text the program's date reading expects.
        q.bindValue(6, row.date);
        m_archiveDate = row.date;
    }
    q.bindValue(1, row.firm);
    q.bindValue(2, row.number);
    q.bindValue(3, row.description);
    q.bindValue(4, row.kol);
    q.bindValue(5, row.cena);
    return run(m_archive, error);
}

bool SqliteDemoTarget::currentLine(const DemoRows::OrderLine &row, QString *error) {
    if (!ready(m_current, error))
        return false;
    QSqlQuery &q = m_current.query;
    q.bindValue(0, row.idcust);
    q.bindValue(1, row.firm);
    q.bindValue(2, row.number);
    q.bindValue(3, row.description);
    q.bindValue(4, row.kol);
    q.bindValue(5, row.cena);
    q.bindValue(6, row.station);
    return run(m_current, error);
}

bool SqliteDemoTarget::shop(const DemoRows::Shop &row, QString *error) {
    if (!ready(m_shop, error))
        return false;
    QSqlQuery &q = m_shop.query;
    q.bindValue(0, row.name);
    q.bindValue(1, row.address);
    q.bindValue(2, row.phone);
    q.bindValue(3, row.inn);
    return run(m_shop, error);
}

bool SqliteDemoTarget::car(const DemoRows::Car &row, QString *error) {
    if (!ready(m_car, error))
        return false;
    QSqlQuery &q = m_car.query;
    q.bindValue(0, row.model);
    q.bindValue(1, row.vin);
    q.bindValue(2, row.engine);
    q.bindValue(3, row.gearbox);
    q.bindValue(4, row.idcust);
    return run(m_car, error);
}

bool SqliteDemoTarget::finish(QString *error) {
    if (!m_inTransaction)
        return true;
    if (!m_db.commit()) {
        *error = QStringLiteral("cannot commit the demo data: %1").arg(m_db.lastError().text());
        return false;
    }
    m_inTransaction = false;
    return true;
}

bool SqliteDemoTarget::ready(Statement &statement, QString *error) {
    if (statement.prepared)
        return true;
    // One transaction for all rows: a commit per row would take minutes.
    if (!m_inTransaction) {
        if (!m_db.transaction()) {
            *error = QStringLiteral("cannot start a transaction: %1").arg(m_db.lastError().text());
            return false;
        }
        m_inTransaction = true;
    }
    if (!statement.query.prepare(QLatin1String(statement.sql))) {
        *error = QStringLiteral("writing %1 failed: %2")
                     .arg(QLatin1String(statement.what), statement.query.lastError().text());
        return false;
    }
    statement.prepared = true;
    return true;
}

bool SqliteDemoTarget::run(Statement &statement, QString *error) {
    if (statement.query.exec())
        return true;
    *error =
        QStringLiteral("writing %1 failed: %2").arg(QLatin1String(statement.what), statement.query.lastError().text());
    return false;
}
