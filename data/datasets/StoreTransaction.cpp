#include "data/datasets/StoreTransaction.h"
#include "data/datasets/StoreConnection.h"

StoreTransaction::StoreTransaction(StoreConnection &store) : m_store(store) {
    m_store.ensureConnected();
    QSqlDatabase db = m_store.database();
    m_store.dialect().beginTransaction(db);
}

StoreTransaction::~StoreTransaction() {
    if (m_open) {
        QSqlDatabase db = m_store.database();
        m_store.dialect().rollbackTransaction(db);
    }
}

void StoreTransaction::commit() {
    QSqlDatabase db = m_store.database();
    m_store.dialect().commitTransaction(db);
    m_open = false;
}
