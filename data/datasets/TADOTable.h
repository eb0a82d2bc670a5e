#pragma once
#include "data/datasets/TCustomADODataSet.h"

/// A server table: every row of one table, read once when it opens, ordered in
/// memory by IndexFieldNames and, as a detail, narrowed in memory to the
/// master's current key.
class TADOTable : public TCustomADODataSet {
    Q_OBJECT
public:
    explicit TADOTable(const QString &name, QObject *parent = nullptr) : TCustomADODataSet(name, parent) {}

    const QString &TableName() const { return m_tableName; }
    void setTableName(const QString &name);
    /// Field names separated by ";".
    const QString &IndexFieldNames() const { return m_indexFieldNames; }
    void setIndexFieldNames(const QString &names);

protected:
    QString selectText() const override;
    QString uniqueTable() const override;
    QStringList indexFieldNames() const override;

private:
    QString m_tableName;
    QString m_indexFieldNames;
};
