#include "data/datasets/StoreConnection.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlDialect.h"

#include <QSqlError>

QString StoreConnection::textOf(const QSqlError &error) {
    return error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
}

QSqlQuery StoreConnection::run(const QString &sql, const QVariantList &values) {
    ensureConnected();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw EDatabaseError(textOf(query.lastError()));
    for (const QVariant &value : values)
        query.addBindValue(dialect().toStore(value));
    if (!query.exec())
        throw EDatabaseError(textOf(query.lastError()));
    return query;
}
