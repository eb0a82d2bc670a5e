#include "data/datasets/TSqlDataSet.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/StoreConnection.h"
#include "data/datasets/StoreLog.h"

#include <optional>

namespace {
FieldType typeOfValue(const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float: return FieldType::Float;
    case QMetaType::QDate: return FieldType::Date;
    case QMetaType::QDateTime: return FieldType::DateTime;
    case QMetaType::QByteArray: return FieldType::Blob;
    default: return FieldType::WideString;
    }
}

// SQLite keeps each value's own type whatever the column declares: whether a
// column read holds text anywhere.
bool holdsText(const ColumnData &column) {
    if (column.kind() != ColumnData::Kind::Variant)
        return column.kind() == ColumnData::Kind::Text;
    for (int row = 0; row < column.size(); ++row)
        if (column.get(row).typeId() == QMetaType::QString)
            return true;
    return false;
}

} // namespace

QString TSqlDataSet::writeTarget() const { return store().dialect().quoteIdentifier(uniqueTable()); }

TSqlDataSet::~TSqlDataSet() {
    if (m_prefetch.valid())
        m_prefetch.wait();
}

QString TSqlDataSet::keyedSelect(bool *hasKey) const {
    const QString base = selectText();
    QString keyed;
    if (!uniqueTable().isEmpty()) {
        QStringList along;
        for (const QString &column : m_orderColumns)
            along.append(uniqueQualifier().isEmpty() ? column : uniqueQualifier() + QLatin1Char('.') + column);
        keyed = SqlText::withRowKey(
            base, store().dialect().rowKeyExpression(store().database(), uniqueTable(), uniqueQualifier()), along);
    }
    *hasKey = !keyed.isEmpty();
    return *hasKey ? keyed : base;
}

std::vector<FieldType> TSqlDataSet::typesOf(const std::vector<ColumnInfo> &info, bool hasKey) {
    std::vector<FieldType> types;
    for (const ColumnInfo &column : info)
        types.push_back(column.autoIncrement ? FieldType::AutoInc : column.type);
    // SQLite's rowid has no declared type; other locators keep their own.
    if (hasKey && !types.empty() && types[0] == FieldType::Unknown)
        types[0] = FieldType::Integer;
    return types;
}

void TSqlDataSet::prefetch() {
    if (Active() || m_prefetch.valid())
        return;
    Fetched job;
    bool hasKey = false;
    StoreConnection::Address address;
    try {
        address = store().address();
        store().ensureConnected(); // the row key may depend on the table's definition
        job.sql = keyedSelect(&hasKey);
        job.values = bindValues();
        job.stamp = store().dialect().changeStamp(store().database(), QString());
    } catch (const std::exception &error) {
        qCDebug(storeLog).noquote() << objectName() << "not read ahead; the open reads itself:" << error.what();
        return; // the open finds out again, and says so
    }
    if (address.driver.isEmpty())
        return;
    // The reader owns everything it uses: the datasets and the connection may
    // be gone before it ends (a start-up that fails waits for it, no more).
    const QString name =
        QStringLiteral("prefetch:%1@%2").arg(objectName()).arg(reinterpret_cast<quintptr>(this), 0, 16);
    m_prefetch = std::async(std::launch::async, [address, name, hasKey, job = std::move(job)]() mutable {
        std::exception_ptr failure;
        try {
            const std::unique_ptr<SqlDialect> dialect = SqlDialect::forDriver(address.driver);
            if (!dialect)
                throw EDatabaseError(QStringLiteral("No dialect for the driver %1").arg(address.driver));
            QSqlDatabase db = QSqlDatabase::addDatabase(address.driver, name);
            dialect->open(db, address.database);
            job.result = dialect->select(
                db, job.sql, job.values,
                [&](const std::vector<ColumnInfo> &info) { return job.types = typesOf(info, hasKey); }, job.columns);
            for (ColumnData &column : job.columns)
                column.squeeze();
            db.close();
        } catch (...) {
            failure = std::current_exception();
        }
        QSqlDatabase::removeDatabase(name);
        if (failure)
            std::rethrow_exception(failure);
        return std::move(job);
    });
}

bool TSqlDataSet::prefetching() const {
    return m_prefetch.valid() && m_prefetch.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void TSqlDataSet::fetchRows(bool describe) {
    // Rows read ahead serve this reading or none: an open that fails before
    // taking them must not leave them for a later one.
    std::optional<Fetched> ahead;
    if (m_prefetch.valid()) {
        try {
            ahead = m_prefetch.get();
        } catch (const std::exception &error) {
            qCDebug(storeLog).noquote() << objectName() << "read ahead failed; reading again:" << error.what();
        }
    }
    StoreConnection &conn = store();
    conn.ensureConnected();
    bool hasKey = false;
    m_keyedSelect = keyedSelect(&hasKey);
    const QVariantList values = bindValues();
    auto &cols = columns();
    SqlDialect::SelectResult result;
    bool taken = false;
    Reading reading;
    reading.sql = m_keyedSelect;
    reading.values = values;
    reading.connection = conn.connectionNumber();
    reading.hasKey = hasKey;
    // They stand for this open only when they answer the same statement and
    // the store has not changed since they were begun (rows written meanwhile,
    // here or elsewhere, would be missing); a reading that failed is done
    // again here, with its error.
    if (ahead && describe && ahead->result.isSelect && ahead->sql == m_keyedSelect && ahead->values == values &&
        ahead->stamp.isValid() && ahead->stamp == conn.dialect().changeStamp(conn.database(), QString())) {
        result = std::move(ahead->result);
        cols = std::move(ahead->columns);
        m_columnTypes = std::move(ahead->types);
        reading.stamp = ahead->stamp;
        taken = true;
    }
    if (!taken) {
        // Taken before the reading begins: a write meanwhile makes it differ.
        reading.stamp = conn.dialect().changeStamp(conn.database(), QString());
        reading.clause = OrderClause::of(m_keyedSelect);
        taken = describe && takeHeld(reading, result);
        // One earlier reading stays held beside the new one, no more.
        while (!taken && m_held.size() > 1)
            m_held.erase(m_held.begin());
    }
    if (!taken) {
        auto typesFor = [&](const std::vector<ColumnInfo> &info) {
            if (describe || m_columnTypes.size() != info.size())
                m_columnTypes = typesOf(info, hasKey);
            return m_columnTypes;
        };
        result = conn.dialect().select(conn.database(), m_keyedSelect, values, typesFor, cols);
        for (ColumnData &column : cols)
            column.squeeze();
    }
    if (!result.isSelect)
        fail(QStringLiteral("CommandText does not return a result set"));
    if (reading.clause.rows.isEmpty())
        reading.clause = OrderClause::of(m_keyedSelect);
    reading.info = result.columns;
    reading.types = m_columnTypes;
    reading.rows = cols.empty() ? 0 : cols.front().size();
    m_reading = std::move(reading);
    std::vector<ColumnInfo> &info = result.columns;
    const int count = static_cast<int>(info.size());
    setKeyColumn(hasKey ? 0 : -1);

    // Computed columns carry no declared type: take it from their values.
    for (int c = 0; c < count; ++c) {
        if (info[c].type != FieldType::Unknown)
            continue;
        // A text column knows its texts: no need to look at every row.
        if (const int longest = cols[c].longestText(); longest >= 0) {
            info[c].type = FieldType::WideString;
            info[c].size = std::max(info[c].size, longest);
            continue;
        }
        for (int row = 0; row < cols[c].size(); ++row) {
            const QVariant v = cols[c].get(row);
            if (v.isNull())
                continue;
            if (info[c].type == FieldType::Unknown)
                info[c].type = typeOfValue(v);
            if (info[c].type == FieldType::WideString)
                info[c].size = std::max(info[c].size, static_cast<int>(v.toString().size()));
        }
    }
    if (describe) {
        buildFields(info, hasKey ? 1 + int(m_orderColumns.size()) : 0);
    } else if (!fieldDefs().isEmpty()) {
        for (int i = 0; i < FieldCount(); ++i)
            checkValues(*Fields(i), Fields(i)->DataType());
    }
}

void TSqlDataSet::rowsClosing(std::vector<ColumnData> &columns, bool clean) {
    std::optional<Reading> reading = std::move(m_reading);
    m_reading.reset();
    if (!clean || !reading || !reading->stamp.isValid() || columns.empty() || columns.front().size() != reading->rows)
        return;
    m_held.push_back({std::move(*reading), std::move(columns)});
    while (m_held.size() > 2)
        m_held.erase(m_held.begin());
}

namespace {
// The same rows in the same order: the statements differ in blanks at most.
bool sameStatement(const OrderClause &a, const OrderClause &b) {
    if (a.rows != b.rows || a.plain != b.plain || a.terms.size() != b.terms.size())
        return false;
    for (int i = 0; i < a.terms.size(); ++i)
        if (a.terms[i].name != b.terms[i].name || a.terms[i].descending != b.terms[i].descending)
            return false;
    return true;
}
} // namespace

bool TSqlDataSet::takeHeld(const Reading &wanted, SqlDialect::SelectResult &result) {
    // Rows read before any change since are stale for good: drop them.
    m_held.erase(std::remove_if(m_held.begin(), m_held.end(),
                                [&](const Held &held) {
                                    return !wanted.stamp.isValid() || held.reading.stamp != wanted.stamp ||
                                           held.reading.connection != wanted.connection;
                                }),
                 m_held.end());
    for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
        Held &held = *it;
        if (held.reading.values != wanted.values || held.reading.hasKey != wanted.hasKey)
            continue;
        std::optional<std::vector<int>> order;
        if (!sameStatement(held.reading.clause, wanted.clause)) {
            order = heldOrder(held, wanted);
            if (!order)
                continue;
            for (ColumnData &column : held.columns)
                column.permute(*order);
        }
        qCDebug(storeLog).noquote() << objectName() << (order ? "rows held, put in the new order" : "rows held")
                                    << "instead of reading" << held.reading.rows << "rows again";
        columns() = std::move(held.columns);
        m_columnTypes = held.reading.types;
        result.isSelect = true;
        result.columns = held.reading.info;
        m_held.erase(std::next(it).base());
        return true;
    }
    return false;
}

std::optional<std::vector<int>> TSqlDataSet::heldOrder(const Held &held, const Reading &wanted) const {
    const OrderClause &was = held.reading.clause, &now = wanted.clause;
    if (!was.plain || !now.plain || was.rows != now.rows)
        return std::nullopt;
    // A name is a result column's label first, then a column of the table
    // (shown under another label, or read along unseen).
    const std::vector<ColumnInfo> &info = held.reading.info;
    const int firstShown = wanted.hasKey ? 1 + int(m_orderColumns.size()) : 0;
    const int firstColumn = wanted.hasKey ? 1 : 0;
    auto resolve = [&](const QString &name) {
        int found = -1, count = 0;
        for (int c = firstShown; c < int(info.size()); ++c)
            if (info[c].name.compare(name, Qt::CaseInsensitive) == 0) {
                found = c;
                ++count;
            }
        if (count == 1)
            return found;
        if (count > 1)
            return -1;
        for (int c = firstColumn; c < int(info.size()); ++c)
            if (info[c].column.compare(name, Qt::CaseInsensitive) == 0 &&
                info[c].table.compare(uniqueTable(), Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    };
    std::vector<RowOrder::Key> keys;
    std::vector<ColumnInfo> keyInfo;
    for (const OrderClause::Term &term : now.terms) {
        const int column = resolve(term.name);
        if (column < 0)
            return std::nullopt;
        keys.push_back({column, term.descending});
        keyInfo.push_back(info[column]);
    }
    const StoreConnection &conn = store();
    const std::optional<SqlDialect::OrderRules> rules = conn.dialect().orderRules(conn.database(), wanted.sql, keyInfo);
    if (!rules)
        return std::nullopt;
    return RowOrder::order(held.columns, keys, wanted.hasKey ? 0 : -1, *rules);
}

void TSqlDataSet::checkValues(const TField &field, FieldType actual) const {
    const TypeClass expected = typeClassOf(field.DataType());
    // Text among numbers has no order with them: a number field takes numbers
    // only, whatever the column declares.
    const bool declaredFits = typeClassOf(actual) == TypeClass::Unknown || typeClassOf(actual) == expected;
    if (declaredFits && expected == TypeClass::Number && holdsText(columns()[field.column()]))
        actual = FieldType::WideString;
    else if (declaredFits)
        return;
    fail(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
             .arg(field.FieldName(), fieldTypeName(field.DataType()), fieldTypeName(actual)));
}

void TSqlDataSet::buildFields(const std::vector<ColumnInfo> &info, int firstColumn) {
    clearFields();
    const QString table = uniqueTable();
    auto writableColumn = [&](const ColumnInfo &column) {
        return !column.table.isEmpty() && column.table.compare(table, Qt::CaseInsensitive) == 0;
    };
    auto findColumn = [&](const QString &name) {
        for (int c = firstColumn; c < static_cast<int>(info.size()); ++c)
            if (info[c].name.compare(name, Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    };
    if (!fieldDefs().isEmpty()) {
        for (const TFieldDef &def : fieldDefs()) {
            const int c = findColumn(def.name);
            if (c < 0)
                fail(QStringLiteral("Field '%1' not found").arg(def.name));
            TField *field =
                addField(def.name, def.type, def.size, def.displayWidth, def.readOnly || !writableColumn(info[c]), c);
            field->setOrigin(info[c].table, info[c].column);
            checkValues(*field, info[c].type);
        }
        return;
    }
    for (int c = firstColumn; c < static_cast<int>(info.size()); ++c) {
        const ColumnInfo &column = info[c];
        if (column.column.compare(QLatin1String(SqlText::storeKeyColumn), Qt::CaseInsensitive) == 0)
            continue;
        const FieldType type = column.autoIncrement ? FieldType::AutoInc : column.type;
        TField *field = addField(column.name, type == FieldType::Unknown ? FieldType::WideString : type, column.size, 0,
                                 !writableColumn(column), c);
        field->setOrigin(column.table, column.column);
    }
}
