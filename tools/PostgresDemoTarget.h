// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DemoRows.h"
#include "PostgresCopy.h"

// Writes demo rows into the database on a PostgreSQL server with one COPY per
// table, inside the transaction the caller holds open. Customers keep the
// numbers the generator gave them, so finish() moves each table's identity
// past the numbers written: the next row the program adds gets the next one.
class PostgresDemoTarget : public DemoTarget {
public:
    explicit PostgresDemoTarget(PGconn *connection) : m_connection(connection), m_copy(connection) {}

    bool customer(const DemoRows::Customer &row, QString *error) override;
    bool archiveLine(const DemoRows::OrderLine &row, QString *error) override;
    bool currentLine(const DemoRows::OrderLine &row, QString *error) override;
    bool shop(const DemoRows::Shop &row, QString *error) override;
    bool finish(QString *error) override;

private:
    enum class Table { None, Customer, Archive, Current, Shop };
    bool enter(Table table, QString *error);
    bool orderLine(const DemoRows::OrderLine &row, bool dated, QString *error);

    PGconn *m_connection;
    PostgresCopy m_copy;
    Table m_table = Table::None;
};
