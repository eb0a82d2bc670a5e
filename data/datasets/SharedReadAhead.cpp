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
    StoreConnection::Address address;
    try {
        address = store().address();
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
    const QString table = uniqueTable();
    if (address.driver.isEmpty() || !leadKey || !followKey || !lead.values.isEmpty() || !follow.values.isEmpty() ||
        table.compare(follower.uniqueTable(), Qt::CaseInsensitive) != 0 || !readsEveryRowOf(lead.sql, table) ||
        !readsEveryRowOf(follow.sql, table))
        return alone();

    // The reader owns everything it uses and hands each dataset its rows
    // through a promise kept only by the futures: the datasets may be gone
    // before it ends (a start-up that fails waits for it, no more).
    auto leadRows = std::make_shared<std::promise<Fetched>>();
    auto followRows = std::make_shared<std::promise<Fetched>>();
    m_prefetch = leadRows->get_future();
    follower.m_prefetch = followRows->get_future();
    const QString name = QStringLiteral("prefetch:%1+%2@%3")
                             .arg(objectName(), follower.objectName())
                             .arg(reinterpret_cast<quintptr>(this), 0, 16);
    const QString qualifier = uniqueQualifier();
    QString key, qualifiedKey;
    try {
        key = store().dialect().rowKeyExpression(store().database(), table, QString());
        qualifiedKey = store().dialect().rowKeyExpression(store().database(), table, qualifier);
    } catch (const std::exception &error) {
        qCDebug(storeLog).noquote() << name << "read in one stretch; the row key is not known:" << error.what();
    }
    std::thread([address, name, qualifier, table, key, qualifiedKey, lead = std::move(lead), follow = std::move(follow),
                 leadRows, followRows]() mutable {
        std::exception_ptr failure;
        bool shared = false;
        try {
            const std::unique_ptr<SqlDialect> dialect = SqlDialect::forDriver(address.driver);
            if (!dialect)
                throw EDatabaseError(QStringLiteral("No dialect for the driver %1").arg(address.driver));
            QSqlDatabase db = QSqlDatabase::addDatabase(address.driver, name);
            dialect->open(db, address.database);
            auto read = [&](Fetched &job, const QString &sql) {
                return dialect->select(
                    db, sql, job.values,
                    [&](const std::vector<ColumnInfo> &info) { return job.types = typesOf(info, true); }, job.columns);
            };
            // A statement read in stretches of the row key at once, each on a
            // connection of its own: the stretches in key order are its rows in
            // its own order, every row read once, on every core.
            auto readInParts = [&](Fetched &job, const QString &sql) {
                const std::vector<std::pair<qint64, qint64>> ranges = keyRanges(*dialect, db, table, key);
                if (ranges.size() < 2)
                    return read(job, sql);
                const QString ranged = sql + QStringLiteral("\nwhere %1 between ? and ?").arg(qualifiedKey);
                std::vector<Fetched> parts(ranges.size());
                std::vector<SqlDialect::SelectResult> results(ranges.size());
                std::vector<std::exception_ptr> errors(ranges.size());
                auto readPart = [&](std::size_t p, const SqlDialect &partDialect, const QSqlDatabase &partDb) {
                    results[p] = partDialect.select(
                        partDb, ranged, {ranges[p].first, ranges[p].second},
                        [&](const std::vector<ColumnInfo> &info) { return parts[p].types = typesOf(info, true); },
                        parts[p].columns);
                };
                std::vector<std::thread> helpers;
                for (std::size_t p = 1; p < ranges.size(); ++p)
                    helpers.emplace_back([&, p] {
                        const QString partName = name + QStringLiteral(":%1").arg(p);
                        try {
                            const std::unique_ptr<SqlDialect> own = SqlDialect::forDriver(address.driver);
                            QSqlDatabase partDb = QSqlDatabase::addDatabase(address.driver, partName);
                            own->open(partDb, address.database);
                            readPart(p, *own, partDb);
                            partDb.close();
                        } catch (...) {
                            errors[p] = std::current_exception();
                        }
                        QSqlDatabase::removeDatabase(partName);
                    });
                try {
                    readPart(0, *dialect, db);
                } catch (...) {
                    errors[0] = std::current_exception();
                }
                for (std::thread &helper : helpers)
                    helper.join();
                for (const std::exception_ptr &error : errors)
                    if (error)
                        std::rethrow_exception(error);
                for (std::size_t p = 1; p < parts.size(); ++p) {
                    if (parts[p].columns.size() != parts[0].columns.size() || parts[p].types != parts[0].types)
                        throw EDatabaseError(QStringLiteral("The stretches of one reading differ in their columns"));
                    for (std::size_t c = 0; c < parts[0].columns.size(); ++c)
                        parts[0].columns[c].appendColumn(parts[p].columns[c]);
                    parts[p].columns.clear();
                }
                qCDebug(storeLog).noquote() << name << "read in" << parts.size() << "stretches of the row key";
                job.columns = std::move(parts[0].columns);
                job.types = std::move(parts[0].types);
                return results[0];
            };
            // What each statement returns, told without reading a row.
            Fetched leadShape = lead, followShape = follow;
            const std::vector<ColumnInfo> leadInfo = read(leadShape, lead.sql + QStringLiteral("\nwhere 1=0")).columns;
            const std::vector<ColumnInfo> followInfo =
                read(followShape, follow.sql + QStringLiteral("\nwhere 1=0")).columns;
            // Each column of the follower: the leader's column of the same
            // table column, read the same way, or one more item for the reading.
            const int leadCount = static_cast<int>(leadInfo.size());
            std::vector<int> source(followInfo.size(), -1);
            QStringList extras;
            bool fits = !followInfo.empty() && leadCount > 0;
            for (std::size_t j = 0; fits && j < followInfo.size(); ++j) {
                if (j == 0) {
                    source[0] = 0; // the row key of the same table
                    continue;
                }
                const ColumnInfo &wanted = followInfo[j];
                for (int k = 0; k < leadCount && source[j] < 0; ++k)
                    if (sameOrigin(leadInfo[k], wanted) && leadShape.types[k] == followShape.types[j])
                        source[j] = k;
                if (source[j] >= 0)
                    continue;
                fits = !wanted.column.isEmpty() && wanted.table.compare(table, Qt::CaseInsensitive) == 0;
                source[j] = leadCount + static_cast<int>(extras.size());
                const QString quoted = dialect->quoteIdentifier(wanted.column);
                extras.append(qualifier.isEmpty() ? quoted : qualifier + QLatin1Char('.') + quoted);
            }
            const QString sql = extras.isEmpty() ? lead.sql : withItemsAtEnd(lead.sql, extras);
            if (fits && !sql.isEmpty()) {
                Fetched both = lead;
                both.result = readInParts(both, sql);
                const std::vector<ColumnInfo> &info = both.result.columns;
                // The reading must answer each statement column for column.
                shared = both.result.isSelect && info.size() == leadInfo.size() + std::size_t(extras.size());
                for (int c = 0; shared && c < leadCount; ++c)
                    shared = info[c].name == leadInfo[c].name && both.types[c] == leadShape.types[c];
                for (std::size_t j = 1; shared && j < followInfo.size(); ++j)
                    shared = source[j] < leadCount || (sameOrigin(info[source[j]], followInfo[j]) &&
                                                       both.types[source[j]] == followShape.types[j]);
                if (shared) {
                    follow.result.isSelect = true;
                    follow.result.columns = followInfo;
                    follow.types = followShape.types;
                    for (std::size_t j = 0; j < followInfo.size(); ++j)
                        follow.columns.push_back(source[j] < leadCount ? both.columns[source[j]]
                                                                       : std::move(both.columns[source[j]]));
                    both.columns.resize(leadCount);
                    both.types.resize(leadCount);
                    both.result.columns.resize(leadCount);
                    lead = std::move(both);
                }
            }
            if (!shared) {
                qCDebug(storeLog).noquote() << name << "reads its two statements one after the other";
                lead.result = read(lead, lead.sql);
                follow.result = read(follow, follow.sql);
            }
            db.close();
        } catch (...) {
            failure = std::current_exception();
        }
        QSqlDatabase::removeDatabase(name);
        if (failure) {
            leadRows->set_exception(failure);
            followRows->set_exception(failure);
            return;
        }
        if (shared)
            qCDebug(storeLog).noquote() << name << "read the rows once for both";
        leadRows->set_value(std::move(lead));
        followRows->set_value(std::move(follow));
    }).detach();
}
