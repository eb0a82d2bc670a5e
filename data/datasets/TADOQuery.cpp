#include "data/datasets/TADOQuery.h"
#include "data/datasets/DateText.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/StoreLog.h"
#include "data/datasets/TADOConnection.h"

TADOQuery::TADOQuery(const QString &name, QObject *parent) : TCustomADODataSet(name, parent) {
    m_sql.setOnChange([this] { Close(); }, [this] { sqlChanged(); });
}

void TADOQuery::sqlChanged() {
    const QString text = m_sql.text();
    if (text == m_statement)
        return;
    m_statement = text;
    m_parsed = parseParameters(text);

    TParameters fresh;
    for (const QString &name : m_parsed.names) {
        TParameter &parameter = fresh.AddParameter();
        if (const TParameter *old = m_parameters.FindParam(name))
            parameter = *old;
        parameter.Name = name;
    }
    m_parameters.Clear();
    try {
        describeParameters(fresh);
    } catch (...) {
        // The store's description is a refinement; without it the values keep their own types.
        qCDebug(storeLog).noquote() << objectName() << "parameters not described:" << caughtErrorText();
    }
    if (fresh.Count() > 0)
        m_parameters.takeFrom(fresh);
}

void TADOQuery::describeParameters(TParameters &parameters) const {
    if (!Connection() || !Connection()->Connected() || parameters.Count() == 0)
        return;
    const auto types = Connection()->dialect().describeParameters(Connection()->database(), m_statement, m_parsed);
    if (static_cast<int>(types.size()) != parameters.Count())
        return;
    for (int i = 0; i < parameters.Count(); ++i)
        if (types[i] != FieldType::Unknown)
            parameters.Items(i).DataType = types[i];
}

QVariantList TADOQuery::bindValues() const {
    if (m_parameters.Count() != m_parsed.names.size())
        fail(QStringLiteral(
            "Parameter object is improperly defined. Inconsistent or incomplete information was provided"));
    // Parameters named before the store was reachable are described now.
    std::vector<FieldType> described;
    for (int i = 0; i < m_parameters.Count() && described.empty(); ++i)
        if (m_parameters.Items(i).DataType == FieldType::Unknown && Connection() && Connection()->Connected())
            described = Connection()->dialect().describeParameters(Connection()->database(), m_statement, m_parsed);
    QVariantList values;
    for (int i = 0; i < m_parameters.Count(); ++i) {
        const TParameter &parameter = m_parameters.Items(i);
        FieldType type = parameter.DataType;
        if (type == FieldType::Unknown && i < static_cast<int>(described.size()))
            type = described[i];
        QVariant value = parameter.Value;
        const bool temporal = type == FieldType::Date || type == FieldType::DateTime;
        if (temporal && value.typeId() == QMetaType::QString) {
            const QDate date = dateFromText(value.toString());
            if (!date.isValid())
                throw EDatabaseError(QStringLiteral("'%1' is not a valid date").arg(value.toString()));
            value = date;
        }
        values.append(value);
    }
    return values;
}

int TADOQuery::ExecSQL() {
    StoreConnection &conn = store();
    conn.ensureConnected();
    return conn.run(m_parsed.sql, bindValues()).rowsAffected;
}

QString TADOQuery::uniqueTable() const {
    const auto refs = SqlText::tableReferences(m_parsed.sql);
    if (refs.size() == 1)
        return refs.front().table;
    for (const auto &ref : refs)
        if (!m_uniqueTable.isEmpty() && (ref.table.compare(m_uniqueTable, Qt::CaseInsensitive) == 0 ||
                                         ref.alias.compare(m_uniqueTable, Qt::CaseInsensitive) == 0))
            return ref.table;
    return QString();
}

QString TADOQuery::uniqueQualifier() const {
    const auto refs = SqlText::tableReferences(m_parsed.sql);
    for (const auto &ref : refs)
        if (ref.table.compare(uniqueTable(), Qt::CaseInsensitive) == 0)
            return refs.size() == 1 ? ref.alias : (ref.alias.isEmpty() ? ref.table : ref.alias);
    return QString();
}
