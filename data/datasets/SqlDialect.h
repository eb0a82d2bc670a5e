#pragma once
#include "data/datasets/ColumnData.h"
#include "data/datasets/FieldType.h"
#include "data/datasets/ParameterList.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

/// What the layer knows of one result column.
struct ColumnInfo {
    QString name;
    FieldType type = FieldType::Unknown; ///< Unknown: decided from the values
    int size = 0;
    QString table;  ///< base table of a plain column reference, else empty
    QString column; ///< base column, else empty
    bool autoIncrement = false;
};

/// How one kind of store is opened and read where stores differ. The data
/// module's statements run as written; a dialect adds what its store lacks.
class SqlDialect {
public:
    virtual ~SqlDialect() = default;
    /// A dialect for a Qt SQL driver name; nullptr when there is none.
    static std::unique_ptr<SqlDialect> forDriver(const QString &driver);

    /// Opens the store named by `database`; never creates a missing one.
    /// Throws with the store's text when it cannot be used.
    virtual void open(QSqlDatabase &db, const QString &database) = 0;
    /// An expression naming a row of `table` for as long as the row lives,
    /// written with `qualifier` (the table's alias; may be empty).
    virtual QString rowKeyExpression(const QSqlDatabase &db, const QString &table, const QString &qualifier) const = 0;
    /// Describes the result columns of an executed query.
    virtual std::vector<ColumnInfo> describeColumns(const QSqlQuery &query) const = 0;

    /// The field type each result column is read as, given their description.
    using TypesFor = std::function<std::vector<FieldType>(const std::vector<ColumnInfo> &)>;
    struct SelectResult {
        bool isSelect = false; ///< false: the statement returns no rows
        std::vector<ColumnInfo> columns;
    };
    /// Runs a statement and appends every row it returns to `columns` (made here,
    /// one per result column, of the kind its type asks for). Throws with the
    /// store's text. The default reads through the Qt driver.
    virtual SelectResult select(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                                const TypesFor &typesFor, std::vector<ColumnData> &columns) const;
    /// What a statement that is not an open did: the rows it returned (a write
    /// with RETURNING, a re-read), how many rows it changed, and the key of the
    /// row an insert made.
    struct Outcome {
        int rowsAffected = -1;
        std::vector<QVariantList> rows;
        QVariant insertedKey;
    };
    /// Runs one statement with bound values and reads all it returns, so the
    /// connection is free for the next one. Throws with the store's text.
    virtual Outcome execute(const QSqlDatabase &db, const QString &sql, const QVariantList &values) const;
    /// Whether the connection broke (a server that went away): the next
    /// command must connect again.
    virtual bool connectionLost(const QSqlDatabase &db) const {
        (void)db;
        return false;
    }
    /// Statements that stand or fall together, all reading the rows as they
    /// were when the first began. Each throws with the store's text.
    virtual void beginTransaction(QSqlDatabase &db) const;
    virtual void commitTransaction(QSqlDatabase &db) const;
    virtual void rollbackTransaction(QSqlDatabase &db) const;
    /// Returns once all the server has committed so far is as safe as a
    /// confirmed commit (on its standby where it has one); throws
    /// EOutcomeUnknown when that cannot be known now. A write found by
    /// reading it back is only trusted after this.
    virtual void awaitDurable(const QSqlDatabase &db) const { (void)db; }
    /// The types of the parameters of a statement, one per marker, or an empty
    /// list when the store cannot tell.
    virtual std::vector<FieldType> describeParameters(const QSqlDatabase &db, const QString &text,
                                                      const ParsedStatement &parsed) const = 0;
    /// The columns of an index of a table; empty when there is no such index.
    virtual QStringList indexColumns(const QSqlDatabase &db, const QString &schema, const QString &table,
                                     const QString &index) const = 0;
    /// A value that differs whenever the rows of a schema may have changed, by
    /// this connection or another; invalid when the store cannot tell cheaply.
    virtual QVariant changeStamp(const QSqlDatabase &db, const QString &schema) const {
        (void)db;
        (void)schema;
        return {};
    }
    /// How the store orders a statement's rows, as far as rows held in memory
    /// can be put in the very same order: where nulls go, and whether rows
    /// with equal keys come in the order of their row keys (else such ties
    /// have no order that can be told, and only distinct keys may be ordered
    /// in memory). Nothing when text or plan cannot be matched exactly.
    /// `keys` describes the result columns the ORDER BY names.
    struct OrderRules {
        bool nullsLargest = false;
        bool tiesByRowKey = false;
    };
    virtual std::optional<OrderRules> orderRules(const QSqlDatabase &db, const QString &sql,
                                                 const std::vector<ColumnInfo> &keys) const {
        (void)db;
        (void)sql;
        (void)keys;
        return std::nullopt;
    }
    /// Whether the table exists.
    virtual bool hasTable(const QSqlDatabase &db, const QString &schema, const QString &table) const = 0;
    /// Whether the table (found as an unqualified name is) has the column,
    /// letter case ignored. Throws with the store's text when it cannot tell.
    virtual bool hasColumn(const QSqlDatabase &db, const QString &table, const QString &column) const = 0;
    /// A value as the store wants it bound. Throws nulRefusal() for a text
    /// holding a NUL character.
    virtual QVariant toStore(const QVariant &value) const;
    /// Why a text holding a NUL character is refused: no store keeps one whole
    /// (a statement ends at it, the server cuts a value there, text functions
    /// stop at it), so it is neither written nor looked for.
    virtual QString nulRefusal() const;
    /// Throws nulRefusal() when the statement holds a NUL character.
    void refuseNul(const QString &sql) const;
    /// A value read from the store, as the field type wants it.
    virtual QVariant fromStore(const QVariant &value, FieldType type) const;
    // The statements the layer writes itself, in this store's spelling.
    /// `column` equal to the next marker, nulls equal to each other.
    virtual QString nullSafeEquals(const QString &quotedColumn) const;
    /// Every column of a table.
    virtual QString selectAllStatement(const QString &target) const;
    /// Every column of the rows of a table whose column equals the next marker.
    virtual QString selectWhereEqualStatement(const QString &target, const QString &quotedColumn) const;
    /// One row of a statement that carries the row key under `keyName`.
    virtual QString rereadStatement(const QString &keyedSelect, const QString &keyName) const;
    /// A row with the given columns (none: every column takes its default).
    /// `rowKey` is the row key expression, for a store that returns it.
    virtual QString insertStatement(const QString &target, const QStringList &quotedColumns,
                                    const QString &rowKey) const;
    virtual QString updateStatement(const QString &target, const QStringList &quotedColumns, const QString &condition,
                                    const QString &rowKey) const;
    virtual QString deleteStatement(const QString &target, const QString &condition) const;
    /// A key for a new row of the table, taken from the table's own numbering
    /// before the row is written, so that a write whose outcome was never told
    /// can be looked for by it. Invalid where the store tells every outcome
    /// (an embedded store) or the table numbers no rows.
    virtual QVariant reserveKey(const QSqlDatabase &db, const QString &table) const {
        (void)db;
        (void)table;
        return {};
    }

    /// A name as the store knows it, quoted.
    virtual QString quoteIdentifier(const QString &name) const;
    /// `schema.table`, quoted; just the table when schema is empty.
    QString qualifiedName(const QString &schema, const QString &table) const;

private:
    /// A forward-only Qt query, prepared, bound and run; throws with the store's text.
    QSqlQuery runPrepared(const QSqlDatabase &db, const QString &sql, const QVariantList &values) const;
};

/// Maps a declared column type ("NCHAR(15)", "REAL", "DATE") to a field type and size.
FieldType fieldTypeFromDeclared(const QString &declared, int *size);
