#pragma once
#include "data/datasets/SlotStatement.h"
#include "data/datasets/TSqlDataSet.h"

class LocalEngine;

/// A statement in the local engine's language against an alias: its tables are
/// the table files of the alias directory, named without the file extension.
class TQuery : public TSqlDataSet {
    Q_OBJECT
public:
    explicit TQuery(const QString &name, QObject *parent = nullptr);

    void setEngine(LocalEngine *engine) { m_engine = engine; }
    const QString &DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &alias) { m_databaseName = alias; }
    SlotStatement &SQL() { return m_sql; }
    /// Runs a statement that returns no rows; returns the rows affected.
    int ExecSQL();

protected:
    StoreConnection &store() const override;
    QString selectText() const override { return m_sql.text(); }
    QString uniqueTable() const override;
    void fetchRows(bool describe) override;

private:
    /// Makes the table files the statement names reachable.
    void reachTables();

    LocalEngine *m_engine = nullptr;
    QString m_databaseName;
    SlotStatement m_sql;
};
