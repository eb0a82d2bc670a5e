#pragma once
#include "data/datasets/StoreConnection.h"

#include <QStringList>
#include <memory>

/// The local table engine behind an alias: the alias names a directory, and a
/// table file in it (`<name>.db`) is reachable by its table name once a dataset
/// names it; other files there are never opened. Local tables and local queries
/// of that alias share this one connection.
class LocalEngine : public StoreConnection {
public:
    LocalEngine(QString alias, QString directory);
    ~LocalEngine() override;

    const QString &alias() const { return m_alias; }
    const QString &directory() const { return m_directory; }
    /// The file of a table as the datasets name it ("drevalonParadox.db").
    QString tableFile(const QString &tableName) const;
    /// The schema a table file is reachable under.
    static QString schemaOf(const QString &tableName);

    void ensureConnected() override;
    /// Connects and makes the table's file reachable; false when there is no such file.
    bool ensureTable(const QString &tableName);
    QSqlDatabase database() const override;
    SqlDialect &dialect() const override;

private:
    QString m_alias;
    QString m_directory;
    QString m_qtName;
    bool m_connected = false;
    QStringList m_attached;
    std::unique_ptr<SqlDialect> m_dialect;
};
