#include "data/datasets/TDBDataSet.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/LocalEngine.h"

LocalEngine &TDBDataSet::engine() const {
    if (!m_engine)
        throw EDBEngineError(QStringLiteral("Unknown database. Alias: %1").arg(m_databaseName));
    return *m_engine;
}

StoreConnection &TDBDataSet::store() const { return engine(); }
