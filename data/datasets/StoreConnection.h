#pragma once
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

class SqlDialect;
class QSqlError;

/// A store that datasets read and write: a Qt SQL connection and its dialect.
class StoreConnection {
public:
    virtual ~StoreConnection() = default;
    /// Connects when not connected; throws with the store's text on failure.
    virtual void ensureConnected() = 0;
    virtual QSqlDatabase database() const = 0;
    virtual SqlDialect &dialect() const = 0;

    /// Opens another connection to the same store under the given name, for a
    /// reader on another thread (the caller closes and removes it there);
    /// an invalid one when the store offers none.
    virtual QSqlDatabase openAnother(const QString &name) const {
        (void)name;
        return {};
    }

    /// Prepares, binds and runs a statement; throws with the store's text.
    QSqlQuery run(const QString &sql, const QVariantList &values = {});
    /// The store's own text of an error.
    static QString textOf(const QSqlError &error);
};
