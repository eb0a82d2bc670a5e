#pragma once
#include "data/datasets/TSqlDataSet.h"

class LocalEngine;

/// What the local datasets share: the engine an alias names, reached through
/// that alias; a dataset without its engine fails as an unknown alias.
class TDBDataSet : public TSqlDataSet {
    Q_OBJECT
public:
    using TSqlDataSet::TSqlDataSet;

    void setEngine(LocalEngine *engine) { m_engine = engine; }
    /// The alias; the engine set above is the one it names.
    const QString &DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &alias) { m_databaseName = alias; }

protected:
    StoreConnection &store() const override;
    LocalEngine &engine() const;

private:
    LocalEngine *m_engine = nullptr;
    QString m_databaseName;
};
