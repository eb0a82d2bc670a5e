#pragma once
// One statement on a connection of its own, for what a test does beside the
// program: as a role the program never is (the server's superuser), or to a
// server the stores do not know.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUuid>
#include <QVariant>

namespace OneStatement {

/// Runs `statement`; the server's complaint, or an empty text.
inline QString refusalOf(const QString &connection, const QString &statement, QVariant *value = nullptr) {
    const QString name = QUuid::createUuid().toString();
    QString refusal;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setConnectOptions(connection);
        if (!db.open()) {
            refusal = QStringLiteral("cannot connect: ") + db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(statement))
                refusal = q.lastError().databaseText();
            else if (value && q.next())
                *value = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return refusal;
}

} // namespace OneStatement
