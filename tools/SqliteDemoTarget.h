// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>

#include "DemoRows.h"

// Writes demo rows into an SQLite store with prepared statements, all in one
// transaction that finish() commits; dropped unfinished, it rolls back. Each
// statement is prepared when its first row comes, so the same class fills the
// database and the car table, which hold different tables.
class SqliteDemoTarget : public DemoTarget {
public:
    explicit SqliteDemoTarget(QSqlDatabase database);
    ~SqliteDemoTarget() override;
    SqliteDemoTarget(const SqliteDemoTarget &) = delete;
    SqliteDemoTarget &operator=(const SqliteDemoTarget &) = delete;

    bool customer(const DemoRows::Customer &row, QString *error) override;
    bool archiveLine(const DemoRows::OrderLine &row, QString *error) override;
    bool currentLine(const DemoRows::OrderLine &row, QString *error) override;
    bool shop(const DemoRows::Shop &row, QString *error) override;
    // The car table is an SQLite store whatever keeps the database.
    bool car(const DemoRows::Car &row, QString *error);
    bool finish(QString *error) override;

private:
    struct Statement {
        const char *what;
        const char *sql;
        QSqlQuery query;
        bool prepared = false;
    };
    bool ready(Statement &statement, QString *error);
    bool run(Statement &statement, QString *error);

    QSqlDatabase m_db;
    bool m_inTransaction = false;
    Statement m_customer, m_archive, m_current, m_shop, m_car;
    qint64 m_archiveIdcust = 0;
    QString m_archiveDate;
};
