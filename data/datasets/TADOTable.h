#pragma once
#include "data/datasets/TCustomADODataSet.h"

/// A server table: every row of one table, read once when it opens, ordered in
/// memory by IndexFieldNames and, as a detail, narrowed in memory to the
/// master's current key. A scope narrows it in the store to the rows of one
/// value of a column, which every row inserted through it takes.
class TADOTable : public TCustomADODataSet {
    Q_OBJECT
public:
    explicit TADOTable(const QString &name, QObject *parent = nullptr) : TCustomADODataSet(name, parent) {}

    const QString &TableName() const { return m_tableName; }
    void setTableName(const QString &name);
    /// Field names separated by ";".
    const QString &IndexFieldNames() const { return m_indexFieldNames; }
    void setIndexFieldNames(const QString &names);
    /// Only the rows whose `column` holds `value`, bound, never written into
    /// the statement; a new row gets the value as a master's key is given.
    /// An empty column: every row.
    void setScope(const QString &column, const QVariant &value);
    const QString &scopeColumn() const { return m_scopeColumn; }

protected:
    QString selectText() const override;
    QVariantList bindValues() const override;
    void newRowDefaults(std::vector<QVariant> &values) const override;
    QString uniqueTable() const override;
    QStringList indexFieldNames() const override;

private:
    QString m_tableName;
    QString m_indexFieldNames;
    QString m_scopeColumn;
    QVariant m_scopeValue;
};
