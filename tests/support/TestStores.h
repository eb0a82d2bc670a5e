#pragma once
#include "data/StoreSettings.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

/// A fresh pair of real stores in a temporary directory, made from the schema
/// the program ships, plus direct SQL access to them for arranging and checking.
class TestStores {
public:
    TestStores();
    ~TestStores();

    bool isValid() const { return m_dir.isValid(); }
    const StoreSettings &settings() const { return m_settings; }
    QString databasePath() const { return m_settings.database; }
    QString carTablePath() const;

    /// Runs SQL on the database / the car table file; fails the test on error.
    void sql(const QString &statement, const QVariantList &values = {}) const;
    void carSql(const QString &statement, const QVariantList &values = {}) const;
    /// The first column of the first row, or an invalid variant when no row.
    QVariant scalar(const QString &statement, const QVariantList &values = {}) const;
    QVariant carScalar(const QString &statement, const QVariantList &values = {}) const;

    /// Adds a customer and returns its number.
    qint64 addCustomer(const QString &name, const QString &surname, const QString &phone,
                       const QString &phone2 = QString()) const;
    void addCar(const QString &model, const QString &vin, qint64 owner, const QString &dvs = QString(),
                const QString &kpp = QString()) const;
    void addArchived(qint64 customer, const QString &firm, const QString &number, const QString &description, int kol,
                     double cena, const QString &date) const;
    void addCurrent(qint64 customer, const QString &firm, const QString &number, const QString &description, int kol,
                    double cena) const;

private:
    QTemporaryDir m_dir;
    StoreSettings m_settings;
};
