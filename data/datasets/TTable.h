#pragma once
#include "data/datasets/TDBDataSet.h"

#include <QVariant>

/// A local table reached through an engine alias, ordered by a named index. The
/// table file and the index must exist: opening fails with the engine's error.
class TTable : public TDBDataSet {
    Q_OBJECT
public:
    explicit TTable(const QString &name, QObject *parent = nullptr) : TDBDataSet(name, parent) {}

    const QString &TableName() const { return m_tableName; }
    void setTableName(const QString &name);
    const QString &IndexName() const { return m_indexName; }
    void setIndexName(const QString &name);
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool on) { m_readOnly = on; }

protected:
    QString selectText() const override;
    QString uniqueTable() const override;
    QString writeTarget() const override;
    QStringList indexFieldNames() const override { return m_indexFields; }
    bool internalCanModify() const override { return !m_readOnly; }
    void fetchRows(bool describe) override;
    bool rowsOutdated() const override;

private:
    QString schema() const;

    QString m_tableName;
    QString m_indexName;
    QStringList m_indexFields;
    bool m_readOnly = false;
    QVariant m_readStamp; // the store's change stamp when the rows were read
};
