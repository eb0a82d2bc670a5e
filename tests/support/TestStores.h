#pragma once
#include "data/StoreSettings.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

/// A fresh pair of real stores made from the schema the program ships, plus
/// direct SQL access to them for arranging and checking. The car table is a
/// file in a temporary directory; the database is a file beside it, or, when
/// the environment names a PostgreSQL server (DREVALON_TEST_STORE=QPSQL and its
/// connection text in DREVALON_TEST_PG), a schema of its own on that server,
/// dropped at the end. Statements are written as for the embedded store and
/// run as the tables' owner.
class TestStores {
public:
    TestStores();
    ~TestStores();

    /// Whether this run keeps the database on a server rather than in a file.
    static bool onServer();
    /// A second program's view of the same database (its own connection).
    StoreSettings sharedSettings() const { return m_settings; }
    /// The same stores as another workstation of the shop sees them.
    StoreSettings settingsOf(const QString &workstation) const {
        StoreSettings other = m_settings;
        other.workstation = workstation;
        return other;
    }
    /// Makes the database one of before each workstation kept its own order
    /// lines: orderNow without its station column.
    void makeSharedOrder();

    bool isValid() const { return m_dir.isValid(); }
    /// What the program's workstations use: on a server, a role that may only
    /// read and write rows.
    const StoreSettings &settings() const { return m_settings; }
    /// The same stores as their owner reaches them, as the store tool does.
    StoreSettings ownerSettings() const;
    QString databasePath() const { return m_settings.database; }
    QString carTablePath() const;

    /// Runs SQL on the database / the car table file; fails the test on error.
    void sql(const QString &statement, const QVariantList &values = {}) const;
    void carSql(const QString &statement, const QVariantList &values = {}) const;
    /// The first column of the first row, or an invalid variant when no row.
    QVariant scalar(const QString &statement, const QVariantList &values = {}) const;
    QVariant carScalar(const QString &statement, const QVariantList &values = {}) const;
    /// Makes the database refuse `event` ("insert", "update" or "delete") on a
    /// table with `message`, for the rows where `condition` (on NEW or OLD)
    /// holds; `allow` takes the refusal back.
    void refuse(const QString &name, const QString &event, const QString &table, const QString &message,
                const QString &condition = QStringLiteral("true")) const;
    void allow(const QString &name, const QString &table) const;
    /// The first column of every row, as text.
    QStringList column(const QString &statement, const QVariantList &values = {}) const;
    /// The text the store of this run gives for an error.
    static QString byStore(const QString &embedded, const QString &server) { return onServer() ? server : embedded; }

    /// Adds a customer and returns its number.
    qint64 addCustomer(const QString &name, const QString &surname, const QString &phone,
                       const QString &phone2 = QString()) const;
    void addCar(const QString &model, const QString &vin, qint64 owner, const QString &dvs = QString(),
                const QString &kpp = QString()) const;
    void addArchived(qint64 customer, const QString &firm, const QString &number, const QString &description, int kol,
                     double cena, const QString &date) const;
    /// An order line of this run's workstation, or of the one named.
    void addCurrent(qint64 customer, const QString &firm, const QString &number, const QString &description, int kol,
                    double cena, const QString &station = QString()) const;

private:
    QVariantList run(const QString &statement, const QVariantList &values) const;

    QTemporaryDir m_dir;
    StoreSettings m_settings;
    QString m_schema;        // on a server: the schema holding this run's tables
    QString m_server;        // and the server's connection text
    QString m_ownerDatabase; // the stores' on the server, as the tables' owner
    bool m_sharedOrder = false;
};
