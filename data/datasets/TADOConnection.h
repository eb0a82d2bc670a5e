#pragma once
#include "data/datasets/StoreConnection.h"

#include <QObject>
#include <memory>

/// The one connection to the database. It is opened by the first server dataset
/// that opens; a failed attempt leaves it closed, and the next one tries again.
/// It never prompts for a login, and connects again when the store's
/// connection broke.
class TADOConnection : public QObject, public StoreConnection {
    Q_OBJECT
public:
    explicit TADOConnection(const QString &name, QObject *parent = nullptr);
    ~TADOConnection() override;

    /// The Qt SQL driver and the database it opens (a file path for SQLite).
    void setStore(const QString &driver, const QString &database);
    // ConnectionString and LoginPrompt are kept for the names the data module
    // sets; they have no effect here: setStore names the store, and no login
    // is ever asked for.
    const QString &ConnectionString() const { return m_connectionString; }
    void setConnectionString(const QString &text) { m_connectionString = text; }
    bool LoginPrompt() const { return m_loginPrompt; }
    void setLoginPrompt(bool on) { m_loginPrompt = on; }

    bool Connected() const { return m_connected; }
    void setConnected(bool connected);
    void Open();
    void Close();

    void ensureConnected() override { Open(); }
    QSqlDatabase database() const override;
    SqlDialect &dialect() const override;
    Address address() const override { return {m_driver, m_database}; }

private:
    QString m_driver;
    QString m_database;
    QString m_connectionString;
    QString m_qtName;
    bool m_loginPrompt = false;
    bool m_connected = false;
    std::unique_ptr<SqlDialect> m_dialect;
};
