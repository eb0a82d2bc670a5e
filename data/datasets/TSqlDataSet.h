#pragma once
#include "data/datasets/RowOrder.h"
#include "data/datasets/SqlDialect.h"
#include "data/datasets/TDataSet.h"
#include "data/datasets/UnsureWrite.h"

#include <QVariantList>
#include <future>
#include <optional>

class StoreConnection;
class QSqlQuery;

/// A dataset read from and written to an SQL store. Each row carries a hidden
/// key naming its row in the store, so a posted or deleted row touches exactly
/// that row, also when another row holds the same values; a row that no longer
/// matches what was read is refused and nothing changes.
class TSqlDataSet : public TDataSet {
    Q_OBJECT
public:
    using TDataSet::TDataSet;
    ~TSqlDataSet() override;

    /// Starts reading the rows for the next open on another thread, through a
    /// connection of its own, so that independent datasets read at once; the
    /// open takes them if nothing changed meanwhile, and otherwise (or when the
    /// reading failed) reads them itself, with its usual errors.
    void prefetch();
    /// Whether rows are still being read ahead.
    bool prefetching() const;
    /// Reads ahead for this dataset and `follower` at once when both read every
    /// row of one table: one reading of the store, widened by the table's
    /// columns only the follower reads, serves both (SharedReadAhead.cpp).
    /// Otherwise both are still read ahead, each by its own statement.
    void prefetchWith(TSqlDataSet &follower);

    /// Columns of the dataset's table read along with the rows, unseen, so
    /// that an ORDER BY naming them can be served from rows already held.
    void setOrderColumns(const QStringList &columns) { m_orderColumns = columns; }
    const QStringList &orderColumns() const { return m_orderColumns; }
    /// Drops the rows kept from earlier opens (the next open reads).
    void forgetHeldRows() { m_held.clear(); }

protected:
    virtual StoreConnection &store() const = 0;
    /// The statement that reads the rows, markers already replaced.
    virtual QString selectText() const = 0;
    /// Values of the statement's markers, in order.
    virtual QVariantList bindValues() const { return {}; }
    /// The table whose rows this dataset's rows are, or empty when it cannot tell.
    virtual QString uniqueTable() const = 0;
    /// The qualifier of that table in the statement (an alias, or empty).
    virtual QString uniqueQualifier() const { return QString(); }
    /// The quoted name to write rows to.
    virtual QString writeTarget() const;

    void fetchRows(bool describe) override;
    void rowsClosing(std::vector<ColumnData> &columns, bool clean) override;
    void writeRow(int storageRow, bool inserting, const std::vector<QVariant> &values,
                  const std::vector<QVariant> &original) override;
    void deleteRow(int storageRow) override;

private:
    void buildFields(const std::vector<ColumnInfo> &info, int firstColumn);
    bool writable(const TField &field) const;
    /// Fails unless the values read for a declared field fit its type.
    void checkValues(const TField &field, FieldType actual) const;
    /// The row key expression of the rows written, unqualified.
    QString rowKey() const;
    /// WHERE text and values matching the row as it was read.
    QString matchCondition(int storageRow, const std::vector<QVariant> &original, QVariantList *values) const;
    void reread(int storageRow, const QVariant &key);
    /// The written values and key as the row's, then what the store made of them.
    void keepWritten(int storageRow, const std::vector<QVariant> &values, const QVariant &key);
    /// The unanswered earlier try of this write, if there is one.
    std::optional<UnsureWrite> takeUnsure(UnsureWrite::Kind kind, const QVariant &key, bool *stood);
    /// An insert found stored after all: the row as stored, then what was typed since.
    void adoptStoredInsert(int storageRow, UnsureWrite stored, const std::vector<QVariant> &values);

    struct Fetched {
        QString sql;
        QVariantList values;
        SqlDialect::SelectResult result;
        std::vector<ColumnData> columns;
        std::vector<FieldType> types;
        QVariant stamp; // the store's change stamp just before the reading began
    };
    /// The statement to run, with the row key when the rows can have one.
    QString keyedSelect(bool *hasKey) const;
    static std::vector<FieldType> typesOf(const std::vector<ColumnInfo> &info, bool hasKey);

    /// What a reading was: enough to tell whether its rows answer another
    /// open, perhaps in another order.
    struct Reading {
        QString sql;
        OrderClause clause;
        QVariantList values;
        QVariant stamp;
        quint64 connection = 0;
        std::vector<ColumnInfo> info;
        std::vector<FieldType> types;
        bool hasKey = false;
        int rows = 0;
    };
    struct Held {
        Reading reading;
        std::vector<ColumnData> columns;
    };
    /// Rows held from an earlier open that answer `wanted` on the store as it
    /// is now, put in its order; false when none do.
    bool takeHeld(const Reading &wanted, SqlDialect::SelectResult &result);
    /// The order of the held rows that `wanted` asks for, if it can be told exactly.
    std::optional<std::vector<int>> heldOrder(const Held &held, const Reading &wanted) const;

    QString m_keyedSelect; // the statement as last run, with the row key
    QStringList m_orderColumns;
    std::optional<Reading> m_reading; // of the rows open now
    std::vector<Held> m_held;         // of closed opens, the latest last
    std::future<Fetched> m_prefetch;
    std::vector<FieldType> m_columnTypes;
    std::optional<UnsureWrite> m_unsure; // a write sent and never answered
};
