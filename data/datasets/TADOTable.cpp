#include "data/datasets/TADOTable.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/TADOConnection.h"

void TADOTable::setTableName(const QString &name) {
    Close();
    m_tableName = name;
}

void TADOTable::setIndexFieldNames(const QString &names) {
    Close();
    m_indexFieldNames = names;
}

QString TADOTable::uniqueTable() const { return SqlText::unquoteName(m_tableName); }

QString TADOTable::selectText() const {
    return store().dialect().selectAllStatement(store().dialect().quoteIdentifier(uniqueTable()));
}

QStringList TADOTable::indexFieldNames() const { return m_indexFieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts); }
