#pragma once
// What the backup suites share: the backup a run wrote, the stores filled
// with a few customers, cars and archive lines, and their state in a few
// figures that any lost or changed row moves.
#include "tests/support/StoreTool.h"
#include "tests/support/TestStores.h"

#include <QRegularExpression>

namespace BackupKit {

inline QString writtenBackup(const StoreTool::Run &run) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("backed up the stores to (\\S+) ")).match(run.out);
    return m.captured(1);
}

// What the stores hold, in a few figures that any lost or changed row moves.
inline QString stateOf(const TestStores &stores) {
    return stores
               .scalar(QStringLiteral("select count(*) || '/' || coalesce(sum(kol), 0) || '/' || "
                                      "coalesce(sum(length(description)), 0) from orderAll"))
               .toString() +
           QLatin1Char('|') +
           stores.scalar(QStringLiteral("select count(*) || '/' || coalesce(sum(idcust), 0) from customer")).toString();
}
inline QString carStateOf(const TestStores &stores) {
    return stores
        .carScalar(QStringLiteral("select count(*) || '/' || coalesce(sum(length(Model)), 0) from drevalonParadox"))
        .toString();
}

// Fills the stores with `lines` archive lines of a few customers and their cars.
inline void fill(const TestStores &stores, int lines, const QString &tag) {
    for (int i = 0; i < 3; ++i) {
        const qint64 id = stores.addCustomer(tag, QStringLiteral("Customer %1").arg(i), QStringLiteral("555%1").arg(i));
        stores.addCar(QStringLiteral("%1 %2").arg(tag).arg(i), QStringLiteral("VIN%1%2").arg(tag).arg(i), id);
    }
    stores.sql(TestStores::byStore(
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                       "insert into orderAll(idcust, Firm, number, description, kol, cena, Date) "
                       "select 1, 'Firm', 'N' || i, '%2 line ' || i, i % 7, i * 1.5, '2026-01-01' from n")
            .arg(lines)
            .arg(tag),
        QStringLiteral("insert into orderAll(idcust, Firm, number, description, kol, cena, Date) "
                       "select 1, 'Firm', 'N' || i, '%2 line ' || i, i % 7, i * 1.5, '2026-01-01' "
                       "from generate_series(1, %1) i")
            .arg(lines)
            .arg(tag)));
}

/// A backup of the stores into `dir` by their owner; empty when none was
/// written (the tool's words in `run`).
inline QString backUp(const TestStores &stores, const QString &dir, StoreTool::Run *run = nullptr) {
    const StoreTool::Run done = StoreTool::tool(StoreTool::storeArguments(stores.ownerSettings()) +
                                                QStringList{QStringLiteral("--backup"), dir});
    if (run)
        *run = done;
    return done.exitCode == 0 ? writtenBackup(done) : QString();
}

} // namespace BackupKit
