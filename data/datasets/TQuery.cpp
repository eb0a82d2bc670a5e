#include "data/datasets/TQuery.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/LocalEngine.h"
#include "data/datasets/SqlText.h"

TQuery::TQuery(const QString &name, QObject *parent) : TDBDataSet(name, parent) {
    m_sql.setOnChange([this] { Close(); }, {});
}

int TQuery::ExecSQL() {
    StoreConnection &conn = store();
    reachTables();
    return conn.run(m_sql.text()).rowsAffected;
}

void TQuery::reachTables() {
    store().ensureConnected();
    for (const auto &ref : SqlText::tableReferences(m_sql.text()))
        engine().ensureTable(ref.table);
}

void TQuery::fetchRows(bool describe) {
    reachTables();
    TSqlDataSet::fetchRows(describe);
}

QString TQuery::uniqueTable() const {
    const auto refs = SqlText::tableReferences(m_sql.text());
    return refs.size() == 1 ? refs.front().table : QString();
}
