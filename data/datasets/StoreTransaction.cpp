#include "data/datasets/StoreTransaction.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/StoreConnection.h"

#include <QSqlError>

StoreTransaction::StoreTransaction(StoreConnection &store) : m_store(store) {
    m_store.ensureConnected();
    QSqlDatabase db = m_store.database();
    if (!db.transaction())
        throw EDatabaseError(StoreConnection::textOf(db.lastError()));
}

StoreTransaction::~StoreTransaction() {
    if (m_open)
        m_store.database().rollback();
}

void StoreTransaction::commit() {
    QSqlDatabase db = m_store.database();
    if (!db.commit())
        throw EDatabaseError(StoreConnection::textOf(db.lastError()));
    m_open = false;
}
