#pragma once
#include "data/datasets/SqlDialect.h"

#include <memory>
#include <vector>

/// SQLite: files opened read-write without ever creating a missing one, rows
/// named by rowid, column origins from the statement, and the conversion of
/// dates to day.month.year text that the statements use.
class SqliteDialect : public SqlDialect {
public:
    void open(QSqlDatabase &db, const QString &database) override;
    /// Opens an empty in-memory store that can attach files by URI.
    static void openMemory(QSqlDatabase &db);
    /// Attaches a file under a schema name; never creates it.
    static void attach(QSqlDatabase &db, const QString &path, const QString &schema);
    QString rowKeyExpression(const QSqlDatabase &db, const QString &table, const QString &qualifier) const override;
    std::vector<ColumnInfo> describeColumns(const QSqlQuery &query) const override;
    /// Reads the rows straight from SQLite's statement, without a variant per value.
    SelectResult select(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                        const TypesFor &typesFor, std::vector<ColumnData> &columns) const override;
    std::vector<FieldType> describeParameters(const QSqlDatabase &db, const QString &text,
                                              const ParsedStatement &parsed) const override;
    QStringList indexColumns(const QSqlDatabase &db, const QString &schema, const QString &table,
                             const QString &index) const override;
    QString nullSafeEquals(const QString &quotedColumn) const override;
    QVariant changeStamp(const QSqlDatabase &db, const QString &schema) const override;
    std::optional<OrderRules> orderRules(const QSqlDatabase &db, const QString &sql,
                                         const std::vector<ColumnInfo> &keys) const override;
    bool hasTable(const QSqlDatabase &db, const QString &schema, const QString &table) const override;
    bool hasColumn(const QSqlDatabase &db, const QString &table, const QString &column) const override;
    /// Registers the functions the statements need on an open connection.
    static void registerFunctions(const QSqlDatabase &db);

    Outcome execute(const QSqlDatabase &db, const QString &sql, const QVariantList &values) const override;
    void beginTransaction(QSqlDatabase &db) const override;
    void commitTransaction(QSqlDatabase &db) const override;
    /// The file opened is no longer the one at its path (deleted, or replaced
    /// by another): the next command opens the path again.
    bool connectionLost(const QSqlDatabase &db) const override;
    /// What the store's files are called in errors ("the car table"), and the
    /// file the errors are about.
    void setPlace(const QString &what, const QString &file);
    /// Takes a shared flock on the file `<store>.inuse` for as long as this
    /// connection lives: the store tool's restore refuses to replace a held store.
    void hold(const QString &file);

private:
    SelectResult selectRows(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                            const TypesFor &typesFor, std::vector<ColumnData> &columns) const;
    /// Rethrows an error the file or the machine caused (locked, read-only,
    /// full, damaged) saying what failed and where, and what to do about it;
    /// any other error as it is.
    [[noreturn]] void rethrowWithPlace(const QSqlDatabase &db, const std::exception &error) const;

    QString m_what = QStringLiteral("the database");
    QString m_file;
    QByteArray m_identity; // device and inode of the file opened
    std::vector<std::shared_ptr<int>> m_holds;
};
