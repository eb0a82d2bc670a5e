#include "data/datasets/TADOConnection.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlDialect.h"
#include "data/datasets/StoreLog.h"

TADOConnection::TADOConnection(const QString &name, QObject *parent) : QObject(parent) {
    setObjectName(name);
    m_qtName = QStringLiteral("%1@%2").arg(name).arg(reinterpret_cast<quintptr>(this), 0, 16);
}

TADOConnection::~TADOConnection() { Close(); }

void TADOConnection::setStore(const QString &driver, const QString &database) {
    Close();
    m_driver = driver;
    m_database = database;
    m_dialect = SqlDialect::forDriver(driver);
}

void TADOConnection::setConnected(bool connected) {
    if (connected)
        Open();
    else
        Close();
}

void TADOConnection::Open() {
    // A server that went away (restarted, or the network dropped): connect
    // again rather than fail every command until the program restarts.
    if (m_connected && m_dialect->connectionLost(database())) {
        // Inside a transaction a new connection would run the rest of it on
        // its own, outside the transaction: fail, so the whole rolls back.
        if (pinned())
            throw EDatabaseError(QStringLiteral("The connection to the database was lost during the command; "
                                                "nothing of it was stored. The next command connects again."));
        qCDebug(storeLog).noquote() << objectName() << "connection to the store lost; connecting again";
        Close();
    }
    if (m_connected)
        return;
    if (!m_dialect)
        throw EDatabaseError(
            QStringLiteral("Provider cannot be found. It may not be properly installed (driver %1)").arg(m_driver));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_driver, m_qtName);
        try {
            m_dialect->open(db, m_database);
        } catch (...) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_qtName);
            throw;
        }
    }
    m_connected = true;
    connected();
}

void TADOConnection::Close() {
    if (!m_connected)
        return;
    m_connected = false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_qtName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_qtName);
}

QSqlDatabase TADOConnection::database() const { return QSqlDatabase::database(m_qtName, false); }

SqlDialect &TADOConnection::dialect() const { return *m_dialect; }
