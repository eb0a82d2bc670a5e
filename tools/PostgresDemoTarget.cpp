// SPDX-License-Identifier: GPL-3.0-or-later
#include "PostgresDemoTarget.h"

#include "PgCommand.h"

namespace {

QByteArray copyStatement(int table) {
    static const char *const statements[] = {
        "",
        "COPY customer (idcust, name, lmane, phone, phone2) FROM STDIN",
        "COPY orderall (idcust, firm, number, description, kol, cena, date) FROM STDIN",
        "COPY ordernow (idcust, firm, number, description, kol, cena, station) FROM STDIN",
        "COPY ip (name, address, phone, inn) FROM STDIN",
    };
    return QByteArray(statements[table]);
}

// Each identity's next value: one past the largest key written, 1 for an empty table.
const char *const identityMoves[] = {
    "SELECT setval(pg_get_serial_sequence('customer', 'idcust'), coalesce(max(idcust), 0) + 1, false) FROM customer",
    "SELECT setval(pg_get_serial_sequence('orderall', 'rowkey'), coalesce(max(rowkey), 0) + 1, false) FROM orderall",
    "SELECT setval(pg_get_serial_sequence('ordernow', 'rowkey'), coalesce(max(rowkey), 0) + 1, false) FROM ordernow",
    "SELECT setval(pg_get_serial_sequence('ip', 'rowkey'), coalesce(max(rowkey), 0) + 1, false) FROM ip",
};

} // namespace

bool PostgresDemoTarget::enter(Table table, QString *error) {
    if (table == m_table)
        return true;
    if (!m_copy.end(error))
        return false;
    m_table = table;
    return m_copy.start(copyStatement(int(table)), error);
}

bool PostgresDemoTarget::customer(const DemoRows::Customer &row, QString *error) {
    if (!enter(Table::Customer, error))
        return false;
    m_copy.number(row.idcust);
    m_copy.text(row.name);
    m_copy.text(row.lmane);
    m_copy.text(row.phone);
    m_copy.text(row.phone2);
    return m_copy.endRow(error);
}

bool PostgresDemoTarget::archiveLine(const DemoRows::OrderLine &row, QString *error) {
    return enter(Table::Archive, error) && orderLine(row, true, error);
}

bool PostgresDemoTarget::currentLine(const DemoRows::OrderLine &row, QString *error) {
    return enter(Table::Current, error) && orderLine(row, false, error);
}

bool PostgresDemoTarget::orderLine(const DemoRows::OrderLine &row, bool dated, QString *error) {
    m_copy.number(row.idcust);
    m_copy.text(row.firm);
    m_copy.text(row.number);
    m_copy.text(row.description);
    m_copy.number(qint64(row.kol));
    m_copy.number(row.cena);
    if (dated) // ISO dates read the same whatever the server's DateStyle
        m_copy.text(row.date);
    else
        m_copy.text(row.station);
    return m_copy.endRow(error);
}

bool PostgresDemoTarget::shop(const DemoRows::Shop &row, QString *error) {
    if (!enter(Table::Shop, error))
        return false;
    m_copy.text(row.name);
    m_copy.text(row.address);
    m_copy.text(row.phone);
    m_copy.text(row.inn);
    return m_copy.endRow(error);
}

bool PostgresDemoTarget::finish(QString *error) {
    if (!m_copy.end(error))
        return false;
    m_table = Table::None;
    for (const char *move : identityMoves) {
        if (!PgCommand::run(m_connection, move, "moving an identity on", error))
            return false;
    }
    return true;
}
