#include "data/datasets/StoreTransaction.h"
#include "data/datasets/StoreConnection.h"
#include "data/datasets/StoreLog.h"

StoreTransaction::StoreTransaction(StoreConnection &store) : m_store(store) {
    m_store.ensureConnected();
    QSqlDatabase db = m_store.database();
    m_store.dialect().beginTransaction(db);
    m_store.pin();
}

StoreTransaction::~StoreTransaction() {
    if (m_open) {
        QSqlDatabase db = m_store.database();
        try {
            m_store.dialect().rollbackTransaction(db);
        } catch (...) {
            // Nothing may leave a destructor; a store that lost the transaction has undone it itself.
            qCDebug(storeLog).noquote() << "transaction not rolled back:" << caughtErrorText();
        }
        m_store.unpin();
    }
}

void StoreTransaction::commit() {
    // A connection lost since the last statement fails here, not at a commit
    // that another connection would be asked for.
    m_store.ensureConnected();
    QSqlDatabase db = m_store.database();
    m_store.dialect().commitTransaction(db);
    m_open = false;
    m_store.unpin();
}
