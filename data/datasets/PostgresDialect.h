#pragma once
#include "data/datasets/SqlDialect.h"

#include <QHash>

/// PostgreSQL: a Qt QPSQL connection, read and written through the client
/// library on its handle. Statements are sent in the server's spelling, rows
/// are named by their ctid (read back from every insert and update, since it
/// moves), names the layer writes are the lower-case names the server folds
/// unquoted ones to, and every result is read whole before the next statement.
class PostgresDialect : public SqlDialect {
public:
    /// `database` is a libpq connection text ("host=... port=... dbname=...
    /// user=..."); the login never prompts and no password is kept here.
    void open(QSqlDatabase &db, const QString &database) override;
    /// The table's one-column primary key, else its ctid (which moves with
    /// every update, so it is read back from each write).
    QString rowKeyExpression(const QSqlDatabase &db, const QString &table, const QString &qualifier) const override;
    std::vector<ColumnInfo> describeColumns(const QSqlQuery &query) const override;
    SelectResult select(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                        const TypesFor &typesFor, std::vector<ColumnData> &columns) const override;
    Outcome execute(const QSqlDatabase &db, const QString &sql, const QVariantList &values) const override;
    bool connectionLost(const QSqlDatabase &db) const override;
    QVariant changeStamp(const QSqlDatabase &db, const QString &schema) const override;
    std::optional<OrderRules> orderRules(const QSqlDatabase &db, const QString &sql,
                                         const std::vector<ColumnInfo> &keys) const override;
    void beginTransaction(QSqlDatabase &db) const override;
    void commitTransaction(QSqlDatabase &db) const override;
    void rollbackTransaction(QSqlDatabase &db) const override;
    void awaitDurable(const QSqlDatabase &db) const override;
    std::vector<FieldType> describeParameters(const QSqlDatabase &db, const QString &text,
                                              const ParsedStatement &parsed) const override;
    QStringList indexColumns(const QSqlDatabase &db, const QString &schema, const QString &table,
                             const QString &index) const override;
    bool hasTable(const QSqlDatabase &db, const QString &schema, const QString &table) const override;
    bool hasColumn(const QSqlDatabase &db, const QString &table, const QString &column) const override;
    QString insertStatement(const QString &target, const QStringList &quotedColumns,
                            const QString &rowKey) const override;
    QString updateStatement(const QString &target, const QStringList &quotedColumns, const QString &condition,
                            const QString &rowKey) const override;
    QVariant reserveKey(const QSqlDatabase &db, const QString &table) const override;
    QString quoteIdentifier(const QString &name) const override;
    /// The client library passes values as NUL-ended texts: one with a NUL
    /// would reach the server cut short.
    QString nulRefusal() const override;

    /// A statement as the server reads it: the data module's spelling rewritten
    /// and its `?` markers numbered `$1`, `$2`, ... Throws on a NUL character,
    /// which would silently cut the text short.
    static QString serverText(const QString &sql);
    static QString serverNulRefusal();

    /// What the layer needs of one column of a table.
    struct TableColumn {
        QString name;     ///< as the server keeps it
        QString declared; ///< the spelling the schema declares (its comment), else the name
        bool identity = false;
    };
    struct TableInfo {
        QString name;
        QHash<int, TableColumn> columns; ///< by column number
    };

private:
    /// Runs a statement already in the server's spelling.
    Outcome executeAsWritten(const QSqlDatabase &db, const QString &sql, const QVariantList &values) const;
    /// A statement over one table, ordered by the table's key after any order
    /// of its own: the server keeps no order of insertion, and a row changed
    /// elsewhere must not move to the end of every list.
    QString inKeyOrder(const QSqlDatabase &db, const QString &sql) const;
    /// The primary key columns of a table, read once per connection.
    const QStringList &primaryKey(const QSqlDatabase &db, const QString &table) const;
    /// The table with that object id, read from the catalogue once per connection.
    const TableInfo &tableInfo(const QSqlDatabase &db, unsigned oid) const;

    mutable QHash<unsigned, TableInfo> m_tables;
    mutable QHash<QString, QStringList> m_primaryKeys; // by quoted table name
};
