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

void TADOTable::setScope(const QString &column, const QVariant &value) {
    Close();
    m_scopeColumn = column;
    m_scopeValue = value;
}

QString TADOTable::uniqueTable() const { return SqlText::unquoteName(m_tableName); }

QString TADOTable::selectText() const {
    const SqlDialect &dialect = store().dialect();
    const QString target = dialect.quoteIdentifier(uniqueTable());
    if (m_scopeColumn.isEmpty())
        return dialect.selectAllStatement(target);
    return dialect.selectWhereEqualStatement(target, dialect.quoteIdentifier(m_scopeColumn));
}

QVariantList TADOTable::bindValues() const {
    if (m_scopeColumn.isEmpty())
        return {};
    return {m_scopeValue};
}

void TADOTable::newRowDefaults(std::vector<QVariant> &values) const {
    if (m_scopeColumn.isEmpty())
        return;
    if (const TField *field = FindField(m_scopeColumn))
        values[field->column()] = m_scopeValue;
}

QStringList TADOTable::indexFieldNames() const { return m_indexFieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts); }
