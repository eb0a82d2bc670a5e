#pragma once
#include "data/datasets/SlotStatement.h"
#include "data/datasets/TDBDataSet.h"

/// A statement in the local engine's language against an alias: its tables are
/// the table files of the alias directory, named without the file extension.
class TQuery : public TDBDataSet {
    Q_OBJECT
public:
    explicit TQuery(const QString &name, QObject *parent = nullptr);

    SlotStatement &SQL() { return m_sql; }
    /// Runs a statement that returns no rows; returns the rows affected.
    int ExecSQL();

protected:
    QString selectText() const override { return m_sql.text(); }
    QString uniqueTable() const override;
    void fetchRows(bool describe) override;

private:
    /// Makes the table files the statement names reachable.
    void reachTables();

    SlotStatement m_sql;
};
