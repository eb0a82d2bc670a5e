#include "data/datasets/StoreConnection.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlDialect.h"

#include <QSqlError>

QString StoreConnection::textOf(const QSqlError &error) {
    return error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
}

SqlDialect::Outcome StoreConnection::run(const QString &sql, const QVariantList &values) {
    ensureConnected();
    return dialect().execute(database(), sql, values);
}
