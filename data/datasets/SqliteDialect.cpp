#include "data/datasets/SqliteDialect.h"
#include "data/datasets/DateText.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/StoreConnection.h"
#include "data/datasets/StoreLog.h"
#include "data/datasets/StoreWait.h"
#include "platform/StoreContract.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlResult>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
sqlite3 *handleOf(const QSqlDatabase &db) {
    const QVariant v = db.driver()->handle();
    return v.isValid() ? *static_cast<sqlite3 *const *>(v.constData()) : nullptr;
}

sqlite3_stmt *statementOf(const QSqlQuery &query) {
    const QVariant v = query.result()->handle();
    return v.isValid() ? *static_cast<sqlite3_stmt *const *>(v.constData()) : nullptr;
}

QString uriOf(const QString &path) {
    return QString::fromUtf8(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()) +
           QStringLiteral("?mode=rw");
}

// The digits of a stored date, "yyyy-mm-dd" with an optional " hh:mm:ss".
struct IsoDate {
    int year = -1, month = -1, day = -1;
    bool hasTime = false;
};

int digitsAt(const char *raw, int length, int at, int count) {
    int value = 0;
    for (int i = at; i < at + count; ++i) {
        if (i >= length || raw[i] < '0' || raw[i] > '9')
            return -1;
        value = value * 10 + (raw[i] - '0');
    }
    return value;
}

bool readIsoDate(const char *raw, int length, IsoDate *date) {
    if (length < 10 || raw[4] != '-' || raw[7] != '-')
        return false;
    date->year = digitsAt(raw, length, 0, 4);
    date->month = digitsAt(raw, length, 5, 2);
    date->day = digitsAt(raw, length, 8, 2);
    // Only a time of digits is copied: other bytes may be no whole characters.
    date->hasTime = length >= 19 && raw[10] == ' ' && digitsAt(raw, length, 11, 2) >= 0 && raw[13] == ':' &&
                    digitsAt(raw, length, 14, 2) >= 0 && raw[16] == ':' && digitsAt(raw, length, 17, 2) >= 0;
    return date->year >= 0 && date->month >= 1 && date->day >= 1;
}

// The code point of a text that is exactly one well-formed UTF-8 character.
bool singleCodePoint(const unsigned char *bytes, int length, sqlite3_int64 *point) {
    if (length < 1 || length > 4)
        return false;
    const unsigned char lead = bytes[0];
    const int expected = lead < 0x80             ? 1
                         : (lead & 0xE0) == 0xC0 ? 2
                         : (lead & 0xF0) == 0xE0 ? 3
                         : (lead & 0xF8) == 0xF0 ? 4
                                                 : 0;
    if (expected != length)
        return false;
    sqlite3_int64 value = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    static constexpr sqlite3_int64 smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false; // overlong, beyond Unicode, or a surrogate: left to the decoder
    *point = value;
    return true;
}

// Convert(type, value, style): the date styles the statements use. The type
// arrives evaluated: char(11) is SQLite's char() function, a one-character
// string whose code is the width of the fixed text to return. Runs once per
// row of the archive, so it works on bytes.
void convertFunction(sqlite3_context *context, int, sqlite3_value **argv) {
    sqlite3_int64 width = 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        width = sqlite3_value_int64(argv[0]);
    } else if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        // One character, also one past U+FFFF (two UTF-16 units).
        const auto *bytes = reinterpret_cast<const unsigned char *>(sqlite3_value_text(argv[0]));
        const int length = sqlite3_value_bytes(argv[0]);
        if (!singleCodePoint(bytes, length, &width)) {
            // Malformed bytes: what the text decoder makes of them.
            const QList<uint> type = textFromUtf8(reinterpret_cast<const char *>(bytes), length).toUcs4();
            if (type.size() == 1)
                width = type.front();
        }
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    // A text longer than the store keeps is refused before it is made.
    if (width > sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LENGTH, -1)) {
        sqlite3_result_error_toobig(context);
        return;
    }
    const char *raw = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    const int length = sqlite3_value_bytes(argv[1]);
    char out[64];
    int size = -1;
    IsoDate date;
    if (readIsoDate(raw, length, &date)) {
        auto put = [&](int at, int value, int count) {
            for (int i = count - 1; i >= 0; --i, value /= 10)
                out[at + i] = static_cast<char>('0' + value % 10);
        };
        switch (sqlite3_value_int(argv[2])) {
        case 104: // dd.mm.yyyy
        case 103: // dd/mm/yyyy
            put(0, date.day, 2);
            put(3, date.month, 2);
            put(6, date.year, 4);
            out[2] = out[5] = sqlite3_value_int(argv[2]) == 104 ? '.' : '/';
            size = 10;
            break;
        case 102: // yyyy.mm.dd
            put(0, date.year, 4);
            put(5, date.month, 2);
            put(8, date.day, 2);
            out[4] = out[7] = '.';
            size = 10;
            break;
        case 23:
            std::memcpy(out, raw, 10);
            size = 10;
            break;
        case 120:
            if (date.hasTime) {
                std::memcpy(out, raw, 19);
            } else {
                std::memcpy(out, raw, 10);
                std::memcpy(out + 10, " 00:00:00", 9);
            }
            size = 19;
            break;
        default: break;
        }
    }
    if (size >= 0 && width <= static_cast<int>(sizeof out)) {
        // ASCII only: bytes are characters, cut or padded with blanks to the width.
        if (width > 0) {
            for (int i = size; i < width; ++i)
                out[i] = ' ';
            size = static_cast<int>(width);
        }
        sqlite3_result_text(context, out, size, SQLITE_TRANSIENT);
        return;
    }
    QByteArray text = size >= 0 ? QByteArray(out, size) : QByteArray(raw, length);
    if (width > 0) {
        // A fixed-width text: cut or padded with blanks to its width in
        // characters as the store counts them (one past U+FFFF is one), made
        // valid UTF-8 first (a malformed sequence reads as U+FFFD).
        text = textFromUtf8(text.constData(), text.size()).toUtf8();
        qsizetype end = 0;
        sqlite3_int64 characters = 0;
        for (; end < text.size() && characters < width; ++characters)
            for (++end; end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;)
                ++end;
        const qsizetype blanks = static_cast<qsizetype>(width - characters);
        text.resize(end + blanks);
        std::memset(text.data() + end, ' ', static_cast<size_t>(blanks));
    }
    sqlite3_result_text64(context, text.constData(), static_cast<sqlite3_uint64>(text.size()), SQLITE_TRANSIENT,
                          SQLITE_UTF8);
}

// A stored date read as its Julian day, without going through text.
bool isoDay(const char *raw, int length, qint64 *day) { return julianDayOfIso(raw, length, day); }
} // namespace

namespace {
// Waits for a store another program holds for up to five seconds, in SQLite's
// own steps, and lets the program show that it waits or refuse a second wait.
int waitForLock(void *, int count) {
    static constexpr int steps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    constexpr int stepCount = int(sizeof steps / sizeof steps[0]);
    constexpr int timeout = 5000;
    if (count == 0 && !StoreWait::mayWait()) {
        qCDebug(storeLog) << "store locked by another program; not waiting again within one command";
        return 0;
    }
    if (count == 0)
        qCDebug(storeLog) << "store locked by another program; waiting for it";
    int waited = 0;
    for (int i = 0; i < std::min(count, stepCount); ++i)
        waited += steps[i];
    waited += std::max(0, count - stepCount) * steps[stepCount - 1];
    const int step = std::min(steps[std::min(count, stepCount - 1)], timeout - waited);
    if (step <= 0) {
        qCDebug(storeLog) << "store still locked after" << waited << "ms; giving up";
        StoreWait::ranOut();
        return 0;
    }
    sqlite3_sleep(step);
    return 1;
}
} // namespace

void SqliteDialect::registerFunctions(const QSqlDatabase &db) {
    if (sqlite3 *handle = handleOf(db)) {
        sqlite3_create_function_v2(handle, "Convert", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, convertFunction,
                                   nullptr, nullptr, nullptr);
        sqlite3_busy_handler(handle, waitForLock, nullptr);
    }
}

namespace {
// A file's device and inode: what stays the same while it is the same file.
QByteArray identityOf(const QString &path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QByteArray();
    return QByteArray::number(static_cast<qulonglong>(info.st_dev)) + ':' +
           QByteArray::number(static_cast<qulonglong>(info.st_ino));
}

// Errors the file or the machine caused, with what a shop assistant can do.
QString adviceFor(int code) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("Another program holds it locked; try again once it has finished.");
    case SQLITE_READONLY:
        return QStringLiteral("The file cannot be written: it was deleted, moved or made read-only. Check the file and "
                              "its permissions.");
    case SQLITE_FULL: return QStringLiteral("The disk is full; free some space, then try again.");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return QStringLiteral("The file is damaged or is not a database; restore it from a copy.");
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN: return QStringLiteral("The file cannot be read or written; check the disk and the file.");
    default: return QString();
    }
}
} // namespace

void SqliteDialect::setPlace(const QString &what, const QString &file) {
    m_what = what;
    m_file = file;
    m_identity = identityOf(file);
}

void SqliteDialect::rethrowWithPlace(const QSqlDatabase &db, const std::exception &error) const {
    sqlite3 *handle = handleOf(db);
    const QString advice = handle ? adviceFor(sqlite3_extended_errcode(handle)) : QString();
    const QString text = QString::fromUtf8(error.what());
    if (advice.isEmpty() || m_file.isEmpty())
        throw;
    throw EDatabaseError(QStringLiteral("Cannot use %1 \"%2\": %3. %4").arg(m_what, m_file, text, advice));
}

SqlDialect::Outcome SqliteDialect::execute(const QSqlDatabase &db, const QString &sql,
                                           const QVariantList &values) const {
    try {
        return SqlDialect::execute(db, sql, values);
    } catch (const EDatabaseError &error) {
        rethrowWithPlace(db, error);
    }
}

void SqliteDialect::beginTransaction(QSqlDatabase &db) const {
    try {
        SqlDialect::beginTransaction(db);
    } catch (const EDatabaseError &error) {
        rethrowWithPlace(db, error);
    }
}

void SqliteDialect::commitTransaction(QSqlDatabase &db) const {
    try {
        SqlDialect::commitTransaction(db);
    } catch (const EDatabaseError &error) {
        rethrowWithPlace(db, error);
    }
}

bool SqliteDialect::connectionLost(const QSqlDatabase &db) const {
    (void)db;
    return !m_identity.isEmpty() && identityOf(m_file) != m_identity;
}

void SqliteDialect::hold(const QString &file) {
    // A file beside the store, never the store itself: closing any descriptor
    // of the store's file would drop every SQLite lock this process holds on
    // it (POSIX), also another connection's in the middle of a write. The
    // store tool looks for the same name.
    const QByteArray beside = QFile::encodeName(StoreContract::inUseMark(file));
    // Never through a link, and only the shop's users may open it: anyone who
    // could hold it could make every restore refuse.
    const int fd = ::open(beside.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0660);
    if (fd < 0)
        return; // a directory the user may not write: nothing to see by
    // Never waits: a restore under way has its own lock and its own checks.
    ::flock(fd, LOCK_SH | LOCK_NB);
    m_holds.push_back(std::shared_ptr<int>(new int(fd), [](int *held) {
        ::close(*held);
        delete held;
    }));
}

void SqliteDialect::open(QSqlDatabase &db, const QString &database) {
    // A connection opened again (its file was replaced) holds the new file only.
    m_holds.clear();
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    db.setDatabaseName(uriOf(database));
    if (!QFileInfo::exists(database))
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": the file does not exist").arg(database));
    if (!db.open())
        throw EDatabaseError(
            QStringLiteral("Cannot open database \"%1\": %2").arg(database, StoreConnection::textOf(db.lastError())));
    // Opening is lazy: read the schema once so an unreadable file fails here.
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("select count(*) from sqlite_master"))) {
        const QString text = StoreConnection::textOf(check.lastError());
        check = QSqlQuery();
        db.close();
        throw EDatabaseError(QStringLiteral("Cannot open database \"%1\": %2").arg(database, text));
    }
    registerFunctions(db);
    setPlace(QStringLiteral("the database"), database);
    hold(database);
}

void SqliteDialect::openMemory(QSqlDatabase &db) {
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    if (!db.open())
        throw EDBEngineError(StoreConnection::textOf(db.lastError()));
    registerFunctions(db);
}

void SqliteDialect::attach(QSqlDatabase &db, const QString &path, const QString &schema) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("ATTACH DATABASE ? AS ") + SqliteDialect().quoteIdentifier(schema));
    q.addBindValue(uriOf(path));
    if (!q.exec())
        throw EDBEngineError(
            QStringLiteral("Cannot open table file \"%1\": %2").arg(path, StoreConnection::textOf(q.lastError())));
}

QString SqliteDialect::rowKeyExpression(const QSqlDatabase &db, const QString &table, const QString &qualifier) const {
    (void)db;
    (void)table;
    return qualifier.isEmpty() ? QStringLiteral("rowid") : qualifier + QStringLiteral(".rowid");
}

namespace {
std::vector<ColumnInfo> describeStatement(sqlite3_stmt *stmt, const QString &sql) {
    // SQLite names an unaliased column reference by its declared name; other
    // stores keep the spelling of the statement, which views show as titles.
    static thread_local const QRegularExpression plainReference(QStringLiteral("^(?:\\w+\\.)?(\\w+)$"),
                                                                QRegularExpression::UseUnicodePropertiesOption);
    const QStringList items = SqlText::selectItems(sql);
    std::vector<ColumnInfo> columns;
    const int count = stmt ? sqlite3_column_count(stmt) : 0;
    auto text = [](const char *s) { return s ? QString::fromUtf8(s) : QString(); };
    for (int i = 0; i < count; ++i) {
        ColumnInfo info;
        info.name = text(sqlite3_column_name(stmt, i));
        info.type = fieldTypeFromDeclared(text(sqlite3_column_decltype(stmt, i)), &info.size);
        info.table = text(sqlite3_column_table_name(stmt, i));
        info.column = text(sqlite3_column_origin_name(stmt, i));
        if (i < items.size()) {
            const auto m = plainReference.match(items[i]);
            if (m.hasMatch() && m.captured(1).compare(info.name, Qt::CaseInsensitive) == 0)
                info.name = m.captured(1);
        }
        if (!info.table.isEmpty() && info.type == FieldType::Integer) {
            const char *declared = nullptr, *collation = nullptr;
            int notNull = 0, primaryKey = 0, autoinc = 0;
            const QByteArray schema = text(sqlite3_column_database_name(stmt, i)).toUtf8();
            if (sqlite3_table_column_metadata(sqlite3_db_handle(stmt), schema.constData(),
                                              info.table.toUtf8().constData(), info.column.toUtf8().constData(),
                                              &declared, &collation, &notNull, &primaryKey, &autoinc) == SQLITE_OK)
                info.autoIncrement = autoinc != 0;
        }
        columns.push_back(info);
    }
    return columns;
}
} // namespace

std::vector<ColumnInfo> SqliteDialect::describeColumns(const QSqlQuery &query) const {
    return describeStatement(statementOf(query), query.lastQuery());
}

SqlDialect::SelectResult SqliteDialect::select(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                                               const TypesFor &typesFor, std::vector<ColumnData> &columns) const {
    try {
        return selectRows(db, sql, values, typesFor, columns);
    } catch (const EDatabaseError &error) {
        rethrowWithPlace(db, error);
    }
}

SqlDialect::SelectResult SqliteDialect::selectRows(const QSqlDatabase &db, const QString &sql,
                                                   const QVariantList &values, const TypesFor &typesFor,
                                                   std::vector<ColumnData> &columns) const {
    sqlite3 *handle = handleOf(db);
    if (!handle)
        return SqlDialect::select(db, sql, values, typesFor, columns);
    refuseNul(sql); // the statement would end at it
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(handle, text.constData(), text.size(), &raw, nullptr) != SQLITE_OK)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(handle)));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> stmt(raw, sqlite3_finalize);
    SelectResult result;
    if (!stmt || sqlite3_column_count(raw) == 0)
        return result; // no rows to read: not a select
    for (int i = 0; i < values.size(); ++i) {
        const QVariant value = toStore(values[i]);
        int rc = SQLITE_OK;
        switch (value.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr: rc = sqlite3_bind_null(raw, i + 1); break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool: rc = sqlite3_bind_int64(raw, i + 1, value.toLongLong()); break;
        case QMetaType::Double:
        case QMetaType::Float: rc = sqlite3_bind_double(raw, i + 1, value.toDouble()); break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob(raw, i + 1, bytes.constData(), bytes.size(), SQLITE_TRANSIENT);
            break;
        }
        default: {
            if (value.isNull()) {
                rc = sqlite3_bind_null(raw, i + 1);
                break;
            }
            const QByteArray utf8 = value.toString().toUtf8();
            rc = sqlite3_bind_text(raw, i + 1, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
        }
        }
        if (rc != SQLITE_OK)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(handle)));
    }
    result.isSelect = true;
    result.columns = describeStatement(raw, sql);
    const int count = static_cast<int>(result.columns.size());
    const std::vector<FieldType> types = typesFor(result.columns);
    columns.clear();
    for (FieldType type : types)
        columns.emplace_back(ColumnData::kindFor(type));
    for (;;) {
        const int rc = sqlite3_step(raw);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(handle)));
        for (int c = 0; c < count; ++c) {
            ColumnData &column = columns[c];
            switch (sqlite3_column_type(raw, c)) {
            case SQLITE_INTEGER: column.appendInteger(sqlite3_column_int64(raw, c)); break;
            case SQLITE_FLOAT: column.appendReal(sqlite3_column_double(raw, c)); break;
            case SQLITE_TEXT: {
                const char *bytes = reinterpret_cast<const char *>(sqlite3_column_text(raw, c));
                const int length = sqlite3_column_bytes(raw, c);
                qint64 day = 0;
                if (types[c] == FieldType::Date && isoDay(bytes, length, &day))
                    column.appendDay(day);
                else if (types[c] == FieldType::Date || types[c] == FieldType::DateTime)
                    column.append(fromStore(textFromUtf8(bytes, length), types[c]));
                else
                    column.appendUtf8(bytes, length);
                break;
            }
            case SQLITE_BLOB:
                column.append(
                    QByteArray(static_cast<const char *>(sqlite3_column_blob(raw, c)), sqlite3_column_bytes(raw, c)));
                break;
            default: column.append(QVariant()); break;
            }
        }
    }
    return result;
}

std::vector<FieldType> SqliteDialect::describeParameters(const QSqlDatabase &db, const QString &text,
                                                         const ParsedStatement &parsed) const {
    // SQLite keeps no parameter types: take the declared type of the column a
    // marker is compared with (`col = :p`, `col between :a and :b`).
    static thread_local const QRegularExpression compared(
        QStringLiteral("(\\[[^\\]]+\\]|\"[^\"]+\"|[\\w.]+)\\s*(=|<>|!=|<=|>=|<|>|\\blike|\\bbetween)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    static thread_local const QRegularExpression secondBound(
        QStringLiteral("(\\[[^\\]]+\\]|\"[^\"]+\"|[\\w.]+)\\s*\\bbetween\\s+:\\w+\\s+and\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    const QList<SqlText::TableRef> tables = SqlText::tableReferences(text);
    std::vector<FieldType> types;
    for (int position : parsed.positions) {
        const QString before = text.left(position);
        auto m = compared.match(before);
        if (!m.hasMatch())
            m = secondBound.match(before);
        FieldType type = FieldType::Unknown;
        if (m.hasMatch()) {
            QString column = SqlText::unquoteName(m.captured(1));
            column = column.mid(column.lastIndexOf(QLatin1Char('.')) + 1);
            for (const auto &ref : tables) {
                QSqlQuery info(db);
                if (!info.exec(QStringLiteral("pragma table_info(%1)").arg(quoteIdentifier(ref.table))))
                    continue;
                while (info.next()) {
                    if (info.value(1).toString().compare(column, Qt::CaseInsensitive) == 0) {
                        int size = 0;
                        type = fieldTypeFromDeclared(info.value(2).toString(), &size);
                    }
                }
                if (type != FieldType::Unknown)
                    break;
            }
        }
        types.push_back(type);
    }
    return types;
}

QStringList SqliteDialect::indexColumns(const QSqlDatabase &db, const QString &schema, const QString &table,
                                        const QString &index) const {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select name from %1.sqlite_master where type = 'index' and name = ? and tbl_name = ?")
                  .arg(quoteIdentifier(schema.isEmpty() ? QStringLiteral("main") : schema)));
    q.addBindValue(index);
    q.addBindValue(table);
    if (!q.exec() || !q.next())
        return {};
    QSqlQuery info(db);
    QStringList columns;
    if (info.exec(
            QStringLiteral("pragma %1.index_info(%2)")
                .arg(quoteIdentifier(schema.isEmpty() ? QStringLiteral("main") : schema), quoteIdentifier(index))))
        while (info.next())
            columns.append(info.value(2).toString());
    return columns;
}

bool SqliteDialect::hasTable(const QSqlDatabase &db, const QString &schema, const QString &table) const {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select 1 from %1.sqlite_master where type = 'table' and name = ? collate nocase")
                  .arg(quoteIdentifier(schema.isEmpty() ? QStringLiteral("main") : schema)));
    q.addBindValue(table);
    return q.exec() && q.next();
}

bool SqliteDialect::hasColumn(const QSqlDatabase &db, const QString &table, const QString &column) const {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select count(*) from pragma_table_info(?) where name = ? collate nocase"));
    q.addBindValue(table);
    q.addBindValue(column);
    if (!q.exec() || !q.next())
        throw EDatabaseError(StoreConnection::textOf(q.lastError()));
    return q.value(0).toInt() > 0;
}

QVariant SqliteDialect::changeStamp(const QSqlDatabase &db, const QString &schema) const {
    // data_version moves with commits of other connections, total_changes with
    // the rows this one writes, schema_version with a table made or dropped
    // anywhere: together they tell any change, in microseconds.
    sqlite3 *handle = handleOf(db);
    if (!handle)
        return {};
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("pragma %1.data_version")
                    .arg(quoteIdentifier(schema.isEmpty() ? QStringLiteral("main") : schema))) ||
        !q.next()) {
        qCDebug(storeLog).noquote() << "change stamp not read; rows are read again:"
                                    << StoreConnection::textOf(q.lastError());
        return {};
    }
    const qint64 dataVersion = q.value(0).toLongLong();
    if (!q.exec(QStringLiteral("pragma %1.schema_version")
                    .arg(quoteIdentifier(schema.isEmpty() ? QStringLiteral("main") : schema))) ||
        !q.next())
        return {};
    return QStringLiteral("%1:%2:%3")
        .arg(dataVersion)
        .arg(sqlite3_total_changes64(handle))
        .arg(q.value(0).toLongLong());
}

std::optional<SqlDialect::OrderRules> SqliteDialect::orderRules(const QSqlDatabase &db, const QString &sql,
                                                                const std::vector<ColumnInfo> &keys) const {
    sqlite3 *handle = handleOf(db);
    if (!handle || SqlText::codeOnly(sql).contains(QLatin1String("collate"), Qt::CaseInsensitive))
        return std::nullopt;
    // Text compares as its bytes only under the BINARY collation.
    for (const ColumnInfo &key : keys) {
        if (key.table.isEmpty() || key.column.isEmpty())
            continue;
        const char *collation = nullptr;
        if (sqlite3_table_column_metadata(handle, nullptr, key.table.toUtf8().constData(),
                                          key.column.toUtf8().constData(), nullptr, &collation, nullptr, nullptr,
                                          nullptr) != SQLITE_OK ||
            !collation || sqlite3_stricmp(collation, "BINARY") != 0)
            return std::nullopt;
    }
    // One table scanned in row key order into the sorter, which keeps rows of
    // equal keys in the order it received them: ties come by row key. Any
    // other plan (an index, a join) orders ties its own way.
    sqlite3_stmt *plan = nullptr;
    const QByteArray text = QByteArrayLiteral("EXPLAIN QUERY PLAN ") + sql.toUtf8();
    if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &plan, nullptr) != SQLITE_OK) {
        sqlite3_finalize(plan);
        return std::nullopt;
    }
    int scans = 0;
    bool other = false;
    int rc;
    while ((rc = sqlite3_step(plan)) == SQLITE_ROW) {
        const QByteArray detail(reinterpret_cast<const char *>(sqlite3_column_text(plan, 3)));
        if (detail.startsWith("SCAN ") && !detail.contains(" USING "))
            ++scans;
        else if (detail != "USE TEMP B-TREE FOR ORDER BY")
            other = true;
    }
    sqlite3_finalize(plan);
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return OrderRules{false, scans == 1 && !other};
}

QString SqliteDialect::nullSafeEquals(const QString &quotedColumn) const {
    return quotedColumn + QStringLiteral(" is ?");
}
