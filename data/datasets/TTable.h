#pragma once
#include "data/datasets/TSqlDataSet.h"

#include <QVariant>

class LocalEngine;

/// A local table reached through an engine alias, ordered by a named index. The
/// table file and the index must exist: opening fails with the engine's error.
class TTable : public TSqlDataSet {
    Q_OBJECT
public:
    explicit TTable(const QString &name, QObject *parent = nullptr) : TSqlDataSet(name, parent) {}

    void setEngine(LocalEngine *engine) { m_engine = engine; }
    /// The alias; the engine set above is the one it names.
    const QString &DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &alias) { m_databaseName = alias; }
    const QString &TableName() const { return m_tableName; }
    void setTableName(const QString &name);
    const QString &IndexName() const { return m_indexName; }
    void setIndexName(const QString &name);
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool on) { m_readOnly = on; }

protected:
    StoreConnection &store() const override;
    QString selectText() const override;
    QString uniqueTable() const override;
    QString writeTarget() const override;
    QStringList indexFieldNames() const override { return m_indexFields; }
    bool internalCanModify() const override { return !m_readOnly; }
    void fetchRows(bool describe) override;
    bool rowsOutdated() const override;

private:
    QString schema() const;

    LocalEngine *m_engine = nullptr;
    QString m_databaseName;
    QString m_tableName;
    QString m_indexName;
    QStringList m_indexFields;
    bool m_readOnly = false;
    QVariant m_readStamp; // the store's change stamp when the rows were read
};
