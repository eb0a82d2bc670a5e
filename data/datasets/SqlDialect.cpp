#include "data/datasets/SqlDialect.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/PostgresDialect.h"
#include "data/datasets/SqlLiteral.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/SqliteDialect.h"
#include "data/datasets/StoreConnection.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

std::unique_ptr<SqlDialect> SqlDialect::forDriver(const QString &driver) {
    if (driver.compare(QLatin1String("QSQLITE"), Qt::CaseInsensitive) == 0)
        return std::make_unique<SqliteDialect>();
    if (driver.compare(QLatin1String("QPSQL"), Qt::CaseInsensitive) == 0)
        return std::make_unique<PostgresDialect>();
    return nullptr;
}

QSqlQuery SqlDialect::runPrepared(const QSqlDatabase &db, const QString &sql, const QVariantList &values) const {
    refuseNul(sql);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw EDatabaseError(StoreConnection::textOf(query.lastError()));
    for (const QVariant &value : values)
        query.addBindValue(toStore(value));
    if (!query.exec())
        throw EDatabaseError(StoreConnection::textOf(query.lastError()));
    return query;
}

SqlDialect::SelectResult SqlDialect::select(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                                            const TypesFor &typesFor, std::vector<ColumnData> &columns) const {
    // A statement that returns no rows is not run by an open: it is refused.
    static thread_local const QRegularExpression readsRows(QStringLiteral("^\\s*\\(*\\s*(select|with|values)\\b"),
                                                           QRegularExpression::CaseInsensitiveOption);
    if (!readsRows.match(SqlText::codeOnly(sql)).hasMatch())
        return {};
    QSqlQuery query = runPrepared(db, sql, values);
    SelectResult result;
    result.isSelect = query.isSelect();
    if (!result.isSelect)
        return result;
    result.columns = describeColumns(query);
    const int count = query.record().count();
    result.columns.resize(count);
    const std::vector<FieldType> types = typesFor(result.columns);
    columns.clear();
    for (FieldType type : types)
        columns.emplace_back(ColumnData::kindFor(type));
    while (query.next())
        for (int c = 0; c < count; ++c)
            columns[c].append(fromStore(query.value(c), types[c]));
    return result;
}

SqlDialect::Outcome SqlDialect::execute(const QSqlDatabase &db, const QString &sql, const QVariantList &values) const {
    QSqlQuery query = runPrepared(db, sql, values);
    Outcome outcome;
    outcome.rowsAffected = query.numRowsAffected();
    outcome.insertedKey = query.lastInsertId();
    if (query.isSelect()) {
        const int count = query.record().count();
        while (query.next()) {
            QVariantList row;
            for (int c = 0; c < count; ++c)
                row.append(query.value(c));
            outcome.rows.push_back(row);
        }
    }
    return outcome;
}

void SqlDialect::beginTransaction(QSqlDatabase &db) const {
    if (!db.transaction())
        throw EDatabaseError(StoreConnection::textOf(db.lastError()));
}

void SqlDialect::commitTransaction(QSqlDatabase &db) const {
    if (!db.commit())
        throw EDatabaseError(StoreConnection::textOf(db.lastError()));
}

void SqlDialect::rollbackTransaction(QSqlDatabase &db) const {
    if (!db.rollback())
        throw EDatabaseError(StoreConnection::textOf(db.lastError()));
}

QString SqlDialect::nulRefusal() const {
    return QStringLiteral("The text holds a NUL character, which the database cannot keep");
}

void SqlDialect::refuseNul(const QString &sql) const {
    if (sql.contains(QChar(0)))
        throw EDatabaseError(nulRefusal());
}

QVariant SqlDialect::toStore(const QVariant &value) const {
    if (value.typeId() == QMetaType::QString && !value.isNull()) {
        refuseNul(value.toString());
        return storableText(value.toString());
    }
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value;
}

QVariant SqlDialect::fromStore(const QVariant &value, FieldType type) const {
    if (value.isNull() || value.typeId() != QMetaType::QString)
        return value;
    // Only take a date when it reads back exactly as stored, so writing the row
    // later compares equal with what the store holds.
    if (type == FieldType::Date) {
        const QDate date = QDate::fromString(value.toString(), Qt::ISODate);
        if (date.isValid() && toStore(date) == value)
            return date;
    } else if (type == FieldType::DateTime) {
        QDateTime dt = QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid())
            dt = QDate::fromString(value.toString(), Qt::ISODate).startOfDay();
        if (dt.isValid() && (toStore(dt) == value || dt.toString(QStringLiteral("yyyy-MM-dd")) == value.toString()))
            return dt;
    }
    return value;
}

QString SqlDialect::nullSafeEquals(const QString &quotedColumn) const {
    return quotedColumn + QStringLiteral(" is not distinct from ?");
}

QString SqlDialect::selectAllStatement(const QString &target) const {
    return QStringLiteral("select * from ") + target;
}

QString SqlDialect::selectWhereEqualStatement(const QString &target, const QString &quotedColumn) const {
    return selectAllStatement(target) + QStringLiteral(" where ") + quotedColumn + QStringLiteral(" = ?");
}

QString SqlDialect::rereadStatement(const QString &keyedSelect, const QString &keyName) const {
    return QStringLiteral("select * from (") + keyedSelect + QStringLiteral(") as t where ") +
           quoteIdentifier(keyName) + QStringLiteral(" = ?");
}

QString SqlDialect::insertStatement(const QString &target, const QStringList &quotedColumns,
                                    const QString &rowKey) const {
    (void)rowKey; // the store tells the new row's key by itself
    if (quotedColumns.isEmpty())
        return QStringLiteral("insert into ") + target + QStringLiteral(" default values");
    QStringList marks;
    for (int i = 0; i < quotedColumns.size(); ++i)
        marks.append(QStringLiteral("?"));
    return QStringLiteral("insert into ") + target + QStringLiteral(" (") + quotedColumns.join(QStringLiteral(", ")) +
           QStringLiteral(") values (") + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString SqlDialect::updateStatement(const QString &target, const QStringList &quotedColumns, const QString &condition,
                                    const QString &rowKey) const {
    (void)rowKey;
    return QStringLiteral("update ") + target + QStringLiteral(" set ") + quotedColumns.join(QStringLiteral(" = ?, ")) +
           QStringLiteral(" = ? where ") + condition;
}

QString SqlDialect::deleteStatement(const QString &target, const QString &condition) const {
    return QStringLiteral("delete from ") + target + QStringLiteral(" where ") + condition;
}

QString SqlDialect::quoteIdentifier(const QString &name) const {
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString SqlDialect::qualifiedName(const QString &schema, const QString &table) const {
    return schema.isEmpty() ? quoteIdentifier(table)
                            : quoteIdentifier(schema) + QLatin1Char('.') + quoteIdentifier(table);
}

FieldType fieldTypeFromDeclared(const QString &declared, int *size) {
    static thread_local const QRegularExpression width(QStringLiteral("\\(\\s*(\\d+)"));
    const QString t = declared.toUpper();
    const auto m = width.match(t);
    *size = m.hasMatch() ? m.captured(1).toInt() : 0;
    if (t.isEmpty())
        return FieldType::Unknown;
    if (t.contains(QLatin1String("INT")))
        return FieldType::Integer;
    if (t.startsWith(QLatin1String("NCHAR")) || t.startsWith(QLatin1String("NATIONAL CHAR")))
        return FieldType::FixedWideChar;
    if (t.startsWith(QLatin1String("NVARCHAR")) || t.startsWith(QLatin1String("NTEXT")))
        return FieldType::WideString;
    if (t.startsWith(QLatin1String("CHAR")) || t.startsWith(QLatin1String("CHARACTER(")))
        return FieldType::String;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT")))
        return FieldType::WideString;
    if (t.contains(QLatin1String("BLOB")))
        return FieldType::Blob;
    if (t.contains(QLatin1String("DATETIME")) || t.contains(QLatin1String("TIMESTAMP")))
        return FieldType::DateTime;
    if (t.contains(QLatin1String("DATE")))
        return FieldType::Date;
    if (t.contains(QLatin1String("BOOL")))
        return FieldType::Boolean;
    return FieldType::Float; // REAL, FLOAT, DOUBLE, NUMERIC, DECIMAL, MONEY
}
