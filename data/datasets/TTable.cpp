#include "data/datasets/TTable.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/LocalEngine.h"

void TTable::setTableName(const QString &name) {
    Close();
    m_tableName = name;
}

void TTable::setIndexName(const QString &name) {
    Close();
    m_indexName = name;
}

QString TTable::schema() const { return LocalEngine::schemaOf(m_tableName); }

QString TTable::uniqueTable() const { return schema(); }

QString TTable::writeTarget() const { return store().dialect().qualifiedName(schema(), schema()); }

QString TTable::selectText() const { return store().dialect().selectAllStatement(writeTarget()); }

void TTable::fetchRows(bool describe) {
    const QString file = engine().tableFile(m_tableName);
    if (!engine().ensureTable(m_tableName) || !engine().dialect().hasTable(engine().database(), schema(), schema()))
        throw EDBEngineError(QStringLiteral("Table does not exist. File: %1").arg(file));
    if (describe) {
        m_indexFields.clear();
        if (!m_indexName.isEmpty()) {
            m_indexFields = engine().dialect().indexColumns(engine().database(), schema(), schema(), m_indexName);
            if (m_indexFields.isEmpty())
                throw EDBEngineError(
                    QStringLiteral("Index does not exist. Index: %1. File: %2").arg(m_indexName, file));
        }
    }
    m_readStamp = engine().dialect().changeStamp(engine().database(), schema());
    TSqlDataSet::fetchRows(describe);
}

bool TTable::rowsOutdated() const {
    const QVariant now = engine().dialect().changeStamp(engine().database(), schema());
    return !now.isValid() || now != m_readStamp;
}
