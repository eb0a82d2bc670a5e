#include "data/datasets/TCustomADODataSet.h"
#include "data/datasets/TADOConnection.h"

StoreConnection &TCustomADODataSet::store() const {
    if (!m_connection)
        fail(QStringLiteral("Missing Connection or ConnectionString"));
    return *m_connection;
}
