#pragma once
#include "data/datasets/SqlDialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

class QSqlError;

/// A store that datasets read and write: a Qt SQL connection and its dialect.
class StoreConnection {
public:
    virtual ~StoreConnection() = default;
    /// Connects when not connected; throws with the store's text on failure.
    virtual void ensureConnected() = 0;
    virtual QSqlDatabase database() const = 0;
    virtual SqlDialect &dialect() const = 0;

    /// What a reader on another thread needs to open a connection of its own
    /// to this store; an empty driver when the store offers none.
    struct Address {
        QString driver;
        QString database;
    };
    virtual Address address() const { return {}; }

    /// While a transaction is open every statement of it must run on the
    /// connection it began on: a pinned store never connects again, and a
    /// connection found broken fails the statement instead.
    void pin() { ++m_pins; }
    void unpin() { --m_pins; }
    bool pinned() const { return m_pins > 0; }

    /// Which connection to the store is open: a new number each time it
    /// connects, so what was read on an earlier one is never taken for now.
    quint64 connectionNumber() const { return m_connections; }

    /// Prepares, binds and runs a statement; throws with the store's text.
    SqlDialect::Outcome run(const QString &sql, const QVariantList &values = {});
    /// The store's own text of an error.
    static QString textOf(const QSqlError &error);

protected:
    void connected() { ++m_connections; }

private:
    int m_pins = 0;
    quint64 m_connections = 0;
};
