// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <libpq-fe.h>

// The database's tables on a PostgreSQL server, made in the first schema of
// the connection's search path. Everything from open() to commit() is one
// transaction, so the server is left as it was unless the whole job succeeds.
class PostgresStore {
public:
    // connectionText: libpq's key=value words, e.g. "host=db dbname=drevalon user=shop".
    PostgresStore(QString connectionText, QString schemaResource);
    ~PostgresStore();
    PostgresStore(const PostgresStore &) = delete;
    PostgresStore &operator=(const PostgresStore &) = delete;

    // The tables this store consists of, as the server names them.
    static const QStringList &tables();

    bool open(QString *error);
    // The schema the tables go to; known after open().
    QString schema() const { return m_schema; }
    // Which of tables() the schema holds already (as any kind of relation).
    bool existingTables(QStringList *existing, QString *error);
    // Drops the store's tables first when asked to, then runs the schema
    // script; the roles that could use the old tables may use the new ones.
    bool create(bool replace, QString *error);
    // Lets `role` (a role's name as it stands) do what the program does on the
    // tables and nothing more: read and write rows, take keys.
    bool grant(const QString &role, QString *error);
    PGconn *connection() const { return m_connection; }
    bool commit(QString *error);

private:
    bool checkConnectionText(QString *error) const;
    QString quotedSchema(QString *error) const;
    bool grantQuoted(const QString &role, QString *error);
    void close();

    QString m_text;
    QString m_schemaResource;
    QString m_connectionName;
    QSqlDatabase m_db;
    PGconn *m_connection = nullptr;
    QString m_schema;
    bool m_inTransaction = false;
};
