#pragma once
#include "tests/support/TestStores.h"

#include <QMap>
#include <QString>
#include <QVariantList>
#include <memory>

class PostgresDialect;

/// A connection of its own to each test store, kept open for the probe's life,
/// for suites that read the stores back after every step: TestStores connects
/// anew for each statement, which costs a round of logins on a server. Every
/// statement is read whole and finished at once, so the probe never holds a
/// lock the program would wait on.
class StoreProbe {
public:
    explicit StoreProbe(const TestStores &stores);
    ~StoreProbe();
    StoreProbe(const StoreProbe &) = delete;
    StoreProbe &operator=(const StoreProbe &) = delete;

    /// Every row a statement returns, its values bound; the statement is
    /// written as for the embedded store. Fails the test on error.
    QList<QVariantList> rows(const QString &statement, const QVariantList &values = {}) const;
    QList<QVariantList> carRows(const QString &statement, const QVariantList &values = {}) const;

    /// Every row of a table by its key, each row its values in column order.
    struct Table {
        QStringList columns; ///< lower-case names
        QMap<qint64, QVariantList> rows;
        /// A value of a row, the column named in any letter case; invalid when none.
        QVariant value(qint64 key, const QString &column) const {
            return rows.value(key).value(columns.indexOf(column.toLower()));
        }
    };
    /// Every row of every table of both stores, by table.
    using Snapshot = QMap<QString, Table>;
    Snapshot snapshot() const;
    /// What differs between two snapshots, one entry a row: "table key" for a
    /// row changed, "table +key" for a row added, "table -key" for one gone.
    static QStringList changes(const Snapshot &before, const Snapshot &after);

private:
    QString m_database, m_cars;
    std::unique_ptr<PostgresDialect> m_server; // set when the database is on a server
    mutable QMap<QString, QStringList> m_serverNames;
};
