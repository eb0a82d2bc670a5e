#pragma once
// What the program and the store tool both rely on about the stores, spelled
// once: the tool's checks hold only while both sides use the same names.
#include <QString>
#include <QStringList>

namespace StoreContract {

/// The file beside an SQLite store on which a program that has it open keeps
/// a shared lock; the store tool refuses to replace a store while it is held.
inline QString inUseMark(const QString &store) { return store + QLatin1String(".inuse"); }

/// The name the program's server sessions go by unless the connection text
/// names them (application_name); the tool looks for sessions by it.
inline constexpr char sessionName[] = "drevalon";

/// The database's tables on a server, in the order the shipped schema makes them.
inline const QStringList &serverTables() {
    static const QStringList names{QStringLiteral("customer"), QStringLiteral("orderall"), QStringLiteral("ordernow"),
                                   QStringLiteral("ip")};
    return names;
}

} // namespace StoreContract
