// TSqlDataSet::prefetchWith: one reading of the store for two datasets that
// read the same rows. Kept apart from TSqlDataSet.cpp: it only feeds the rows
// read ahead that fetchRows takes or refuses as it always does.
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlText.h"
#include "data/datasets/StoreConnection.h"
#include "data/datasets/StoreLog.h"
#include "data/datasets/TSqlDataSet.h"

#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

namespace {
/// Whether a statement reads every row of one table once, in the store's own
/// order: one table, no condition, grouping, ordering, limit or set operation.
bool readsEveryRowOf(const QString &sql, const QString &table) {
    static thread_local const QRegularExpression clause(
        QStringLiteral("\\b(where|group|having|order|limit|offset|fetch|top|distinct|union|intersect|except|join|"
                       "window)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QList<SqlText::TableRef> tables = SqlText::tableReferences(sql);
    return tables.size() == 1 && tables.front().table.compare(table, Qt::CaseInsensitive) == 0 &&
           !SqlText::isAggregate(sql) && !clause.match(SqlText::codeOnly(sql)).hasMatch();
}

/// The statement with more items at the end of its select list; empty when the
/// list's end cannot be found. At the end, the statement's own columns keep
/// their places, and with them their names.
QString withItemsAtEnd(const QString &sql, const QStringList &items) {
    static thread_local const QRegularExpression from(QStringLiteral("\\bfrom\\b"),
                                                      QRegularExpression::CaseInsensitiveOption);
    const QString code = SqlText::codeOnly(sql);
    int depth = 0;
    for (int i = 0; i < code.size(); ++i) {
        if (code[i] == QLatin1Char('('))
            ++depth;
        else if (code[i] == QLatin1Char(')'))
            --depth;
        else if (depth == 0 &&
                 from.match(code, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption)
                     .hasMatch())
            return sql.left(i) + QStringLiteral(", ") + items.join(QStringLiteral(", ")) + QLatin1Char(' ') +
                   sql.mid(i);
    }
    return QString();
}

/// Stretches of a table's integer row key, one per core (up to four), that
/// together hold every row; none when the table is small, its key not a
/// number, or its bounds cannot be read.
std::vector<std::pair<qint64, qint64>> keyRanges(const SqlDialect &dialect, const QSqlDatabase &db,
                                                 const QString &table, const QString &key) {
    constexpr qint64 fewest = 32; // rows a stretch is worth a connection for
    const int parts = std::clamp(QThread::idealThreadCount(), 1, 4);
    if (parts < 2 || key.isEmpty())
        return {};
    SqlDialect::Outcome bounds;
    try {
        bounds = dialect.execute(
            db, QStringLiteral("select min(%1), max(%1) from %2").arg(key, dialect.quoteIdentifier(table)), {});
    } catch (const std::exception &error) {
        qCDebug(storeLog).noquote() << table << "read in one stretch; its key's bounds are not known:" << error.what();
        return {};
    }
    auto integral = [](const QVariant &v) {
        const int type = v.typeId();
        return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt;
    };
    if (bounds.rows.size() != 1 || bounds.rows[0].size() != 2 || !integral(bounds.rows[0][0]) ||
        !integral(bounds.rows[0][1]))
        return {};
    const qint64 low = bounds.rows[0][0].toLongLong(), high = bounds.rows[0][1].toLongLong();
    qint64 span = 0;
    if (high < low || __builtin_sub_overflow(high, low, &span) || span < fewest * parts)
        return {};
    std::vector<std::pair<qint64, qint64>> ranges;
    for (int p = 0; p < parts; ++p) {
        const qint64 first = low + span / parts * p + std::min<qint64>(p, span % parts);
        const qint64 last =
            p + 1 == parts ? high : low + span / parts * (p + 1) + std::min<qint64>(p + 1, span % parts) - 1;
        ranges.emplace_back(first, last);
    }
    return ranges;
}

bool sameOrigin(const ColumnInfo &a, const ColumnInfo &b) {
    return !a.column.isEmpty() && a.table.compare(b.table, Qt::CaseInsensitive) == 0 &&
           a.column.compare(b.column, Qt::CaseInsensitive) == 0;
}
/// Runs work(i) for every i below count, half of them on a thread of its own:
/// joining and copying a million rows' columns is work for both cores.
void onTwoThreads(std::size_t count, const std::function<void(std::size_t)> &work) {
    std::exception_ptr failure;
    std::thread other([&] {
        try {
            for (std::size_t i = 1; i < count; i += 2)
                work(i);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        for (std::size_t i = 0; i < count; i += 2)
            work(i);
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (failure)
        std::rethrow_exception(failure);
}

/// What the reader of prefetchWith needs, all its own.
struct Reader {
    StoreConnection::Address address;
    QString name, table, qualifier, key, qualifiedKey;
    /// The field types of the columns a reading describes.
    std::vector<FieldType> (*typesOf)(const std::vector<ColumnInfo> &, bool) = nullptr;
};

/// Every row a statement returns, into a reading of rows ahead (`job`).
template <typename Job>
SqlDialect::SelectResult readAll(const Reader &reader, const SqlDialect &dialect, const QSqlDatabase &db, Job &job,
                                 const QString &sql, const QVariantList &values = {}) {
    return dialect.select(
        db, sql, values.isEmpty() ? job.values : values,
        [&](const std::vector<ColumnInfo> &info) { return job.types = reader.typesOf(info, true); }, job.columns);
}

/// A statement of every row of the reader's table, read in stretches of its
/// row key when the table is large enough.
template <typename Job>
SqlDialect::SelectResult readInStretches(const Reader &reader, const SqlDialect &dialect, const QSqlDatabase &db,
                                         Job &job, const QString &sql) {
    const std::vector<std::pair<qint64, qint64>> ranges = keyRanges(dialect, db, reader.table, reader.key);
    if (ranges.size() < 2)
        return readAll(reader, dialect, db, job, sql);
    // Each stretch on a connection of its own, at once: in key order the
    // stretches are the statement's rows in its own order, each read once.
    const QString ranged = sql + QStringLiteral("\nwhere %1 between ? and ?").arg(reader.qualifiedKey);
    std::vector<Job> parts(ranges.size());
    std::vector<SqlDialect::SelectResult> results(ranges.size());
    std::vector<std::exception_ptr> errors(ranges.size());
    std::vector<std::thread> helpers;
    try {
        for (std::size_t p = 1; p < ranges.size(); ++p)
            helpers.emplace_back([&, p] {
                const QString name = reader.name + QStringLiteral(":%1").arg(p);
                try {
                    const std::unique_ptr<SqlDialect> own = SqlDialect::forDriver(reader.address.driver);
                    QSqlDatabase partDb = QSqlDatabase::addDatabase(reader.address.driver, name);
                    own->open(partDb, reader.address.database);
                    results[p] = readAll(reader, *own, partDb, parts[p], ranged, {ranges[p].first, ranges[p].second});
                    partDb.close();
                } catch (...) {
                    errors[p] = std::current_exception();
                }
                QSqlDatabase::removeDatabase(name);
            });
        results[0] = readAll(reader, dialect, db, parts[0], ranged, {ranges[0].first, ranges[0].second});
    } catch (...) {
        errors[0] = std::current_exception(); // a helper not started fails the reading too
    }
    for (std::thread &helper : helpers)
        helper.join();
    for (const std::exception_ptr &error : errors)
        if (error)
            std::rethrow_exception(error);
    for (std::size_t p = 1; p < parts.size(); ++p)
        if (parts[p].columns.size() != parts[0].columns.size() || parts[p].types != parts[0].types)
            throw EDatabaseError(QStringLiteral("The stretches of one reading differ in their columns"));
    onTwoThreads(parts[0].columns.size(), [&](std::size_t c) {
        for (std::size_t p = 1; p < parts.size(); ++p)
            parts[0].columns[c].appendColumn(parts[p].columns[c]);
    });
    qCDebug(storeLog).noquote() << reader.name << "read in" << parts.size() << "stretches of the row key";
    job.columns = std::move(parts[0].columns);
    job.types = std::move(parts[0].types);
    return results[0];
}

/// Reads the leader's statement, widened by the table columns only the
/// follower reads, and takes the follower's columns from it. False, and
/// nothing read for them, when the follower reads a column that is no plain
/// column of the table or the reading does not answer both statements.
template <typename Job>
bool readTogether(const Reader &reader, const SqlDialect &dialect, const QSqlDatabase &db, Job &lead, Job &follow) {
    // What each statement returns, told without reading a row.
    Job leadShape = lead, followShape = follow;
    const std::vector<ColumnInfo> leadInfo =
        readAll(reader, dialect, db, leadShape, lead.sql + QStringLiteral("\nwhere 1=0")).columns;
    const std::vector<ColumnInfo> followInfo =
        readAll(reader, dialect, db, followShape, follow.sql + QStringLiteral("\nwhere 1=0")).columns;
    // Each column of the follower: the leader's column of the same table
    // column, read the same way, or one more item for the reading.
    const int leadCount = static_cast<int>(leadInfo.size());
    std::vector<int> source(followInfo.size(), -1);
    QStringList extras;
    if (followInfo.empty() || leadCount == 0)
        return false;
    source[0] = 0; // the row key of the same table
    for (std::size_t j = 1; j < followInfo.size(); ++j) {
        const ColumnInfo &wanted = followInfo[j];
        for (int k = 0; k < leadCount && source[j] < 0; ++k)
            if (sameOrigin(leadInfo[k], wanted) && leadShape.types[k] == followShape.types[j])
                source[j] = k;
        if (source[j] >= 0)
            continue;
        if (wanted.column.isEmpty() || wanted.table.compare(reader.table, Qt::CaseInsensitive) != 0)
            return false; // computed: only its own statement can tell it
        source[j] = leadCount + static_cast<int>(extras.size());
        const QString quoted = dialect.quoteIdentifier(wanted.column);
        extras.append(reader.qualifier.isEmpty() ? quoted : reader.qualifier + QLatin1Char('.') + quoted);
    }
    const QString sql = extras.isEmpty() ? lead.sql : withItemsAtEnd(lead.sql, extras);
    if (sql.isEmpty())
        return false;
    Job both = lead;
    both.result = readInStretches(reader, dialect, db, both, sql);
    // The reading must answer each statement column for column.
    const std::vector<ColumnInfo> &info = both.result.columns;
    bool answers = both.result.isSelect && info.size() == leadInfo.size() + std::size_t(extras.size());
    for (int c = 0; answers && c < leadCount; ++c)
        answers = info[c].name == leadInfo[c].name && both.types[c] == leadShape.types[c];
    for (std::size_t j = 0; answers && j < followInfo.size(); ++j)
        answers = both.types[source[j]] == followShape.types[j] &&
                  (source[j] < leadCount || sameOrigin(info[source[j]], followInfo[j]));
    if (!answers)
        return false;
    follow.result.isSelect = true;
    follow.result.columns = followInfo;
    follow.types = followShape.types;
    follow.columns.resize(followInfo.size());
    onTwoThreads(followInfo.size(), [&](std::size_t j) {
        follow.columns[j] = source[j] < leadCount ? both.columns[source[j]] : std::move(both.columns[source[j]]);
    });
    both.columns.resize(leadCount);
    both.types.resize(leadCount);
    both.result.columns.resize(leadCount);
    lead = std::move(both);
    return true;
}

} // namespace

void TSqlDataSet::prefetchWith(TSqlDataSet &follower) {
    auto alone = [&] {
        prefetch();
        follower.prefetch();
    };
    if (&follower == this || Active() || follower.Active() || m_prefetch.valid() || follower.m_prefetch.valid() ||
        &store() != &follower.store())
        return alone();
    Fetched lead, follow;
    bool leadKey = false, followKey = false;
    Reader reader;
    try {
        reader.address = store().address();
        store().ensureConnected(); // the row key may depend on the table's definition
        lead.sql = keyedSelect(&leadKey);
        follow.sql = follower.keyedSelect(&followKey);
        lead.values = bindValues();
        follow.values = follower.bindValues();
        lead.stamp = store().dialect().changeStamp(store().database(), QString());
        follow.stamp = lead.stamp;
    } catch (const std::exception &error) {
        qCDebug(storeLog).noquote() << objectName() << "and" << follower.objectName()
                                    << "not read ahead; the opens read themselves:" << error.what();
        return; // the opens find out again, and say so
    }
    reader.table = uniqueTable();
    if (reader.address.driver.isEmpty() || !leadKey || !followKey || !lead.values.isEmpty() ||
        !follow.values.isEmpty() || reader.table.compare(follower.uniqueTable(), Qt::CaseInsensitive) != 0 ||
        !readsEveryRowOf(lead.sql, reader.table) || !readsEveryRowOf(follow.sql, reader.table))
        return alone();
    reader.name = QStringLiteral("prefetch:%1+%2@%3")
                      .arg(objectName(), follower.objectName())
                      .arg(reinterpret_cast<quintptr>(this), 0, 16);
    reader.qualifier = uniqueQualifier();
    reader.typesOf = &TSqlDataSet::typesOf;
    try {
        reader.key = store().dialect().rowKeyExpression(store().database(), reader.table, QString());
        reader.qualifiedKey = store().dialect().rowKeyExpression(store().database(), reader.table, reader.qualifier);
    } catch (const std::exception &error) {
        qCDebug(storeLog).noquote() << reader.name << "read in one stretch; the row key is not known:" << error.what();
    }

    // The reader owns everything it uses and hands each dataset its rows
    // through a promise kept only by the futures: the datasets may be gone
    // before it ends (a start-up that fails waits for it, no more). A reader
    // that cannot be started breaks its promises: each open then reads itself.
    auto leadRows = std::make_shared<std::promise<Fetched>>();
    auto followRows = std::make_shared<std::promise<Fetched>>();
    m_prefetch = leadRows->get_future();
    follower.m_prefetch = followRows->get_future();
    try {
        std::thread([reader, lead = std::move(lead), follow = std::move(follow), leadRows, followRows]() mutable {
            std::exception_ptr failure;
            bool shared = false;
            try {
                const std::unique_ptr<SqlDialect> dialect = SqlDialect::forDriver(reader.address.driver);
                if (!dialect)
                    throw EDatabaseError(QStringLiteral("No dialect for the driver %1").arg(reader.address.driver));
                QSqlDatabase db = QSqlDatabase::addDatabase(reader.address.driver, reader.name);
                dialect->open(db, reader.address.database);
                shared = readTogether(reader, *dialect, db, lead, follow);
                if (!shared) {
                    qCDebug(storeLog).noquote() << reader.name << "reads its two statements one after the other";
                    lead.result = readAll(reader, *dialect, db, lead, lead.sql);
                    follow.result = readAll(reader, *dialect, db, follow, follow.sql);
                }
                db.close();
            } catch (...) {
                failure = std::current_exception();
            }
            QSqlDatabase::removeDatabase(reader.name);
            if (failure) {
                leadRows->set_exception(failure);
                followRows->set_exception(failure);
                return;
            }
            if (shared)
                qCDebug(storeLog).noquote() << reader.name << "read the rows once for both";
            leadRows->set_value(std::move(lead));
            followRows->set_value(std::move(follow));
        }).detach();
    } catch (const std::exception &error) {
        qCDebug(storeLog).noquote() << reader.name << "not read ahead; no reader could be started:" << error.what();
    }
}
