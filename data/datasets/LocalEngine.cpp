#include "data/datasets/LocalEngine.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqliteDialect.h"

#include <QDir>
#include <QFileInfo>

LocalEngine::LocalEngine(QString alias, QString directory)
    : m_alias(std::move(alias)), m_directory(std::move(directory)), m_dialect(std::make_unique<SqliteDialect>()) {
    m_qtName = QStringLiteral("engine:%1@%2").arg(m_alias).arg(reinterpret_cast<quintptr>(this), 0, 16);
}

LocalEngine::~LocalEngine() {
    if (!m_connected)
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_qtName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_qtName);
}

QString LocalEngine::tableFile(const QString &tableName) const {
    QString file = tableName;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".db");
    return QDir(m_directory).filePath(file);
}

QString LocalEngine::schemaOf(const QString &tableName) { return QFileInfo(tableName).completeBaseName(); }

void LocalEngine::ensureConnected() {
    if (m_connected)
        return;
    const QDir dir(m_directory);
    if (m_directory.isEmpty() || !dir.exists())
        throw EDBEngineError(QStringLiteral("Path not found. Alias: %1, directory %2").arg(m_alias, m_directory));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_qtName);
    try {
        SqliteDialect::openMemory(db);
    } catch (...) {
        db = QSqlDatabase();
        m_attached.clear();
        QSqlDatabase::removeDatabase(m_qtName);
        throw;
    }
    m_connected = true;
    connected();
}

bool LocalEngine::ensureTable(const QString &tableName) {
    ensureConnected();
    const QString schema = schemaOf(tableName);
    if (m_attached.contains(schema, Qt::CaseInsensitive))
        return true;
    const QString file = tableFile(tableName);
    if (!QFileInfo::exists(file))
        return false;
    QSqlDatabase db = database();
    SqliteDialect::attach(db, file, schema);
    m_attached.append(schema);
    static_cast<SqliteDialect &>(*m_dialect).setPlace(QStringLiteral("the car table"), file);
    static_cast<SqliteDialect &>(*m_dialect).hold(file);
    return true;
}

QSqlDatabase LocalEngine::database() const { return QSqlDatabase::database(m_qtName, false); }

SqlDialect &LocalEngine::dialect() const { return *m_dialect; }
