// How a TSqlDataSet writes its rows: each posted or deleted row touches
// exactly the row it was read from, and a write the store never answered is
// read back by its key before it is made again.
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/StoreConnection.h"
#include "data/datasets/StoreLog.h"
#include "data/datasets/TSqlDataSet.h"

namespace {
const char *notLocated =
    "Row cannot be located for updating. Some values may have been changed since it was last read.";
const char *notLocatedForDelete =
    "Row cannot be located for deleting. Some values may have been changed since it was last read.";
const char *noKey = "Insufficient key column information for updating or refreshing.";

bool sameKey(const QVariant &a, const QVariant &b) { return !a.isNull() && a.toString() == b.toString(); }
} // namespace

QString TSqlDataSet::rowKey() const {
    return store().dialect().rowKeyExpression(store().database(), uniqueTable(), QString());
}

bool TSqlDataSet::writable(const TField &field) const { return !field.ReadOnly() && !field.originColumn().isEmpty(); }

QString TSqlDataSet::matchCondition(int storageRow, const std::vector<QVariant> &original, QVariantList *values) const {
    const SqlDialect &dialect = store().dialect();
    QString condition = rowKey() + QStringLiteral(" = ?");
    values->append(columns()[keyColumn()].get(storageRow));
    for (int i = 0; i < FieldCount(); ++i) {
        const TField &field = *Fields(i);
        if (field.originColumn().isEmpty() || field.originTable().compare(uniqueTable(), Qt::CaseInsensitive) != 0)
            continue;
        condition += QStringLiteral(" and ") + dialect.nullSafeEquals(dialect.quoteIdentifier(field.originColumn()));
        values->append(original[field.column()]);
    }
    return condition;
}

std::optional<UnsureWrite> TSqlDataSet::takeUnsure(UnsureWrite::Kind kind, const QVariant &key, bool *stood) {
    *stood = false;
    if (!m_unsure || m_unsure->kind != kind)
        return std::nullopt;
    const bool same =
        kind == UnsureWrite::Kind::Insert ? m_unsure->insert == insertNumber() : sameKey(m_unsure->key, key);
    if (!same)
        return std::nullopt;
    // Looked for before it is let go: while no server answers (a failover
    // under way) the earlier try stays unsure, and a later press asks again
    // rather than making it a second time.
    try {
        *stood = m_unsure->known || m_unsure->stood(store(), writeTarget(), rowKey());
    } catch (const EOutcomeUnknown &still) {
        throw EDatabaseError(UnsureWrite::text(kind, still.message()));
    }
    return std::exchange(m_unsure, std::nullopt);
}

void TSqlDataSet::writeRow(int storageRow, bool inserting, const std::vector<QVariant> &values,
                           const std::vector<QVariant> &original) {
    StoreConnection &conn = store();
    if (keyColumn() < 0)
        throw EDatabaseError(QString::fromLatin1(noKey));
    m_reading.reset(); // rows changed here are not the rows read
    const SqlDialect &dialect = conn.dialect();
    const auto kind = inserting ? UnsureWrite::Kind::Insert : UnsureWrite::Kind::Update;
    bool stood = false;
    std::optional<UnsureWrite> earlier = takeUnsure(kind, inserting ? QVariant() : original[keyColumn()], &stood);
    std::vector<QVariant> before = original;
    if (stood && inserting) {
        adoptStoredInsert(storageRow, std::move(*earlier), values);
        return;
    }
    // The row holds what that try wrote: what was typed since goes over it.
    if (stood)
        for (int column : earlier->columns)
            before[column] = earlier->values[column];

    QStringList names;
    QVariantList bound;
    std::vector<int> written;
    for (int i = 0; i < FieldCount(); ++i) {
        const TField &field = *Fields(i);
        if (!writable(field))
            continue;
        const QVariant &value = values[field.column()];
        if (inserting ? value.isNull() : sameValue(value, before[field.column()]))
            continue;
        names.append(dialect.quoteIdentifier(field.originColumn()));
        bound.append(value);
        written.push_back(field.column());
    }
    QVariant key;
    std::optional<UnsureWrite> unsure;
    try {
        if (inserting) {
            // A key of its own before the row is sent, so that a row whose
            // outcome is never told can be looked for by it; a new one for each
            // try, since a key taken before a failover may go to another row.
            const QString keyName = rowKey();
            QVariant reserved;
            const qsizetype typed = names.indexOf(keyName, 0);
            if (typed >= 0)
                reserved = bound[typed];
            else {
                conn.ensureConnected();
                reserved = dialect.reserveKey(conn.database(), uniqueTable());
            }
            if (reserved.isValid() && typed < 0) {
                names.append(keyName);
                bound.append(reserved);
            }
            unsure = UnsureWrite{kind, insertNumber(), reserved, names, bound, written, values};
            key = conn.run(dialect.insertStatement(writeTarget(), names, keyName), bound).insertedKey;
        } else {
            key = original[keyColumn()];
            if (names.isEmpty()) {
                if (stood)
                    keepWritten(storageRow, values, key);
                return;
            }
            unsure = UnsureWrite{kind, 0, key, names, bound, written, values};
            QVariantList matchValues;
            const QString condition = matchCondition(storageRow, before, &matchValues);
            const SqlDialect::Outcome outcome =
                conn.run(dialect.updateStatement(writeTarget(), names, condition, rowKey()), bound + matchValues);
            if (outcome.rowsAffected == 0)
                throw EDatabaseError(QString::fromLatin1(notLocated));
            // A store whose row locator moves with every update names the new one.
            if (!outcome.rows.empty() && !outcome.rows.front().isEmpty())
                key = outcome.rows.front().front();
        }
    } catch (const EOutcomeUnknown &lost) {
        if (unsure->key.isNull())
            throw; // nothing to look for it by
        m_unsure = std::move(unsure);
        throw EDatabaseError(UnsureWrite::text(kind, lost.message()));
    } catch (...) {
        // Nothing of this try was stored, but the earlier one stands: the row
        // holds its values, which the next post must compare with.
        if (stood) {
            earlier->known = true;
            m_unsure = std::move(earlier);
        }
        throw;
    }
    keepWritten(storageRow, values, key);
}

void TSqlDataSet::adoptStoredInsert(int storageRow, UnsureWrite stored, const std::vector<QVariant> &values) {
    keepWritten(storageRow, stored.values, stored.key);
    // What was typed after the box goes in as an edit of the stored row.
    std::vector<QVariant> now, wanted;
    for (const ColumnData &column : columns())
        now.push_back(column.get(storageRow));
    wanted = now;
    bool typedSince = false;
    for (int i = 0; i < FieldCount(); ++i) {
        const TField &field = *Fields(i);
        if (!writable(field) || sameValue(values[field.column()], stored.values[field.column()]))
            continue;
        wanted[field.column()] = values[field.column()];
        typedSince = true;
    }
    if (!typedSince)
        return;
    try {
        writeRow(storageRow, false, wanted, now);
    } catch (...) {
        // The row is stored for certain and the line still waits to be
        // posted: the next post takes the row again instead of adding one.
        stored.known = true;
        m_unsure = std::move(stored);
        throw;
    }
}

void TSqlDataSet::keepWritten(int storageRow, const std::vector<QVariant> &values, const QVariant &key) {
    for (size_t c = 0; c < values.size(); ++c)
        columns()[c].set(storageRow, values[c]);
    columns()[keyColumn()].set(storageRow, key);
    // The write stands: a read-back that fails now (a store busy for a moment)
    // leaves the values as written rather than reporting a stored row as lost,
    // which a second post would then write twice.
    try {
        reread(storageRow, key);
    } catch (const std::exception &error) {
        qCDebug(storeLog).noquote() << objectName() << "row written, but not read back:" << error.what();
    }
}

void TSqlDataSet::reread(int storageRow, const QVariant &key) {
    // Read back what the store made of the row: generated numbers, defaults,
    // padding. A row the statement no longer selects keeps the written values.
    StoreConnection &conn = store();
    const QString sql = conn.dialect().rereadStatement(m_keyedSelect, QLatin1String(SqlText::rowKeyName));
    const SqlDialect::Outcome outcome = conn.run(sql, bindValues() << key);
    if (outcome.rows.empty())
        return;
    const QVariantList &row = outcome.rows.front();
    const int count = std::min(static_cast<int>(row.size()), static_cast<int>(columns().size()));
    for (int c = 0; c < count; ++c)
        columns()[c].set(storageRow, conn.dialect().fromStore(row[c], m_columnTypes[c]));
}

void TSqlDataSet::deleteRow(int storageRow) {
    StoreConnection &conn = store();
    if (keyColumn() < 0)
        throw EDatabaseError(QString::fromLatin1(noKey));
    m_reading.reset();
    std::vector<QVariant> original;
    for (const ColumnData &column : columns())
        original.push_back(column.get(storageRow));
    const QVariant key = original[keyColumn()];
    const auto kind = UnsureWrite::Kind::Delete;
    bool stood = false;
    if (takeUnsure(kind, key, &stood) && stood)
        return;
    QVariantList matchValues;
    const QString condition = matchCondition(storageRow, original, &matchValues);
    int deleted = 0;
    try {
        deleted = conn.run(conn.dialect().deleteStatement(writeTarget(), condition), matchValues).rowsAffected;
    } catch (const EOutcomeUnknown &lost) {
        m_unsure = UnsureWrite{kind, 0, key, {}, {}, {}, {}};
        throw EDatabaseError(UnsureWrite::text(kind, lost.message()));
    }
    if (deleted == 0)
        throw EDatabaseError(QString::fromLatin1(notLocatedForDelete));
}
