#include "data/datasets/UnsureWrite.h"
#include "data/datasets/StoreConnection.h"

bool UnsureWrite::stood(StoreConnection &store, const QString &target, const QString &rowKey) const {
    const SqlDialect &dialect = store.dialect();
    QString condition = rowKey + QStringLiteral(" = ?");
    QVariantList values{key};
    // An insert's values too: after a failover the new server may hand the
    // same key to another workstation's row when this one never arrived.
    if (kind != Kind::Delete)
        for (int i = 0; i < names.size(); ++i) {
            condition += QStringLiteral(" and ") + dialect.nullSafeEquals(names[i]);
            values.append(bound[i]);
        }
    const SqlDialect::Outcome found =
        store.run(QStringLiteral("select count(*) from %1 where %2").arg(target, condition), values);
    const bool there = !found.rows.empty() && found.rows.front().value(0).toLongLong() > 0;
    const bool stands = kind == Kind::Delete ? !there : there;
    // Seen on a server that may yet lose it (its standby never confirmed it):
    // not stood until that server confirms it.
    if (stands)
        store.dialect().awaitDurable(store.database());
    return stands;
}

QString UnsureWrite::text(Kind kind, const QString &storeText) {
    if (kind == Kind::Delete)
        return storeText + QStringLiteral(" Delete again: the row is first looked for by its key, so nothing else "
                                          "is deleted.");
    return storeText + QStringLiteral(" Post again: the row is first read back by its key, so it is stored once.");
}
