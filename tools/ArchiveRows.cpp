// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveRows.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <memory>

#include "PgCommand.h"
#include "PostgresCopy.h"

namespace ArchiveRows {

namespace {

struct Table {
    const char *name;
    const char *key;
};
// The program's tables on a server and the key each counts in.
constexpr Table tables[] = {{"customer", "idcust"}, {"orderall", "rowkey"}, {"ordernow", "rowkey"}, {"ip", "rowkey"}};

QString alternatives(QString (*part)(const Table &)) {
    QStringList all;
    for (const Table &table : tables)
        all.append(part(table));
    return QLatin1Char('(') + all.join(QLatin1Char('|')) + QLatin1Char(')');
}

QString tableName(const Table &t) { return QLatin1String(t.name); }
QString sequenceName(const Table &t) { return QStringLiteral("%1_%2_seq").arg(QLatin1String(t.name), t.key); }
QString keyConstraint(const Table &t) { return QStringLiteral("%1 %1_pkey").arg(QLatin1String(t.name)); }
QString keyDefault(const Table &t) { return QStringLiteral("%1 %2").arg(QLatin1String(t.name), t.key); }

// Every kind of entry pg_dump makes of the program's tables, in this
// version's schema or an earlier one's, as "TYPE schema tag" (the owner
// follows). The kinds of several words come before the one-word ones.
QList<QPair<QString, QRegularExpression>> allowedEntries(const QString &schema) {
    const QString s = QRegularExpression::escape(schema);
    const QString t = alternatives(tableName), q = alternatives(sequenceName);
    const QList<QPair<QString, QString>> kinds = {
        {QStringLiteral("TABLE DATA"), t},
        {QStringLiteral("SEQUENCE SET"), q},
        {QStringLiteral("SEQUENCE OWNED BY"), q},
        {QStringLiteral("TABLE"), t},
        {QStringLiteral("SEQUENCE"), q},
        {QStringLiteral("DEFAULT"), alternatives(keyDefault)},
        {QStringLiteral("CONSTRAINT"), alternatives(keyConstraint)},
        {QStringLiteral("INDEX"), QStringLiteral("ordernow_station")},
        {QStringLiteral("COMMENT"), QStringLiteral("COLUMN %1\\.[a-z0-9_]+").arg(t)},
        {QStringLiteral("ACL"), QStringLiteral("(TABLE %1|SEQUENCE %2)").arg(t, q)},
    };
    QList<QPair<QString, QRegularExpression>> allowed;
    for (const auto &[kind, tag] : kinds)
        allowed.append({kind, QRegularExpression(QStringLiteral("^%1 %2 %3 \\S+$").arg(kind, s, tag))});
    return allowed;
}

QString quotedIdentifier(PGconn *connection, const QString &name) {
    const QByteArray utf8 = name.toUtf8();
    char *quoted = PQescapeIdentifier(connection, utf8.constData(), size_t(utf8.size()));
    if (!quoted)
        return QString();
    const QString result = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return result;
}

// A name as pg_dump writes it: as it stands, or in double quotes.
QString unquoted(const QString &name) {
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        return name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return name;
}

// Reads pg_restore's printed script line by line as it comes.
class Lines {
public:
    explicit Lines(QProcess &process) : m_process(process) {}
    bool next(QByteArray *line) {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(-1)) {
                if (m_process.bytesAvailable() == 0)
                    return false;
                *line = m_process.readAll();
                return true;
            }
        }
        *line = m_process.readLine();
        line->chop(1);
        return true;
    }

private:
    QProcess &m_process;
};

struct Loaded {
    QStringList columns;
    bool rows = false;
};

} // namespace

bool list(const QString &archive, QList<Entry> *entries, QString *error) {
    QProcess process;
    process.start(QStringLiteral("pg_restore"), {QStringLiteral("--list"), archive});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = process.error() == QProcess::FailedToStart
                     ? QStringLiteral("pg_restore is not installed: apt install postgresql-client")
                     : QString::fromUtf8(process.readAllStandardError()).simplified();
        return false;
    }
    static const QRegularExpression entryLine(QStringLiteral("^(\\d+); \\d+ \\d+ (.+)$"));
    entries->clear();
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        const QRegularExpressionMatch match = entryLine.match(line);
        entries->append({match.captured(1), QString(), match.hasMatch() ? match.captured(2) : line});
    }
    return true;
}

QString foreignEntry(const QList<Entry> &entries, const QString &schema) {
    const auto allowed = allowedEntries(schema);
    QStringList withRows;
    for (const Entry &entry : entries) {
        auto kind = std::find_if(allowed.begin(), allowed.end(), [&](const auto &k) {
            return !entry.id.isEmpty() && k.second.match(entry.line).hasMatch();
        });
        if (kind == allowed.end())
            return QStringLiteral("an entry the program's tables do not make: %1").arg(entry.line);
        if (kind->first == QLatin1String("TABLE DATA"))
            withRows.append(kind->second.match(entry.line).captured(1));
    }
    for (const Table &table : tables)
        if (!withRows.contains(QLatin1String(table.name)))
            return QStringLiteral("no rows of %1").arg(QLatin1String(table.name));
    return QString();
}

bool load(PGconn *connection, const QString &schema, const QString &archive, const QList<Entry> &entries,
          const QString &workstation, QString *error) {
    if (const QString foreign = foreignEntry(entries, schema); !foreign.isEmpty()) {
        *error = QStringLiteral("the server archive holds %1").arg(foreign);
        return false;
    }
    const auto allowed = allowedEntries(schema);
    QTemporaryFile useList;
    if (!useList.open()) {
        *error = QStringLiteral("cannot make a temporary file for the archive's list");
        return false;
    }
    for (const Entry &entry : entries)
        for (const auto &kind : allowed)
            if (kind.second.match(entry.line).hasMatch()) {
                if (kind.first == QLatin1String("TABLE DATA") || kind.first == QLatin1String("SEQUENCE SET"))
                    useList.write(entry.id.toUtf8() + "; " + entry.line.toUtf8() + '\n');
                break;
            }
    useList.flush();

    const QString quotedSchema = quotedIdentifier(connection, schema);
    if (quotedSchema.isEmpty()) {
        *error = PgCommand::lastError(connection);
        return false;
    }
    // What the tables made from the shipped schema have, for the archive's
    // COPY lines to be held against.
    QHash<QString, QStringList> columnsOf;
    for (const Table &table : tables)
        if (!PgCommand::column(connection,
                               "SELECT column_name FROM information_schema.columns WHERE table_schema = $1 AND "
                               "table_name = $2 ORDER BY ordinal_position",
                               {schema, QLatin1String(table.name)}, "reading the tables' columns",
                               &columnsOf[QLatin1String(table.name)], error))
            return false;

    // Without a server to speak to, pg_restore only prints: the rows and the
    // sequences' values, never anything it would run.
    QProcess process;
    process.start(QStringLiteral("pg_restore"), {QStringLiteral("--data-only"), QStringLiteral("--use-list"),
                                                 useList.fileName(), QStringLiteral("--file=-"), archive});
    if (!process.waitForStarted(-1)) {
        *error = QStringLiteral("pg_restore is not installed: apt install postgresql-client");
        return false;
    }
    static const QRegularExpression copyLine(QStringLiteral("^COPY (.+)\\.([a-z_]+) \\(([^()]*)\\) FROM stdin;$"));
    static const QRegularExpression setvalLine(
        QStringLiteral("^SELECT pg_catalog\\.setval\\('((?:[^']|'')+)', (\\d{1,19}), (true|false)\\);$"));
    QHash<QString, Loaded> loaded;
    QHash<QString, QPair<qint64, bool>> values; // sequence → value, is_called
    Lines lines(process);
    QByteArray raw;
    bool ok = true;
    while (ok && lines.next(&raw)) {
        const QString line = QString::fromUtf8(raw);
        if (const QRegularExpressionMatch set = setvalLine.match(line); set.hasMatch()) {
            values.insert(
                set.captured(1).replace(QStringLiteral("''"), QStringLiteral("'")),
                {std::max<qint64>(1, set.captured(2).toLongLong()), set.captured(3) == QLatin1String("true")});
            continue;
        }
        const QRegularExpressionMatch copy = copyLine.match(line);
        if (!copy.hasMatch())
            continue; // settings and remarks pg_restore prints; never run
        const QString table = copy.captured(2);
        QStringList columns;
        for (const QString &column : copy.captured(3).split(QStringLiteral(", ")))
            columns.append(unquoted(column));
        const QStringList known = columnsOf.value(table);
        const bool sound =
            unquoted(copy.captured(1)) == schema && !known.isEmpty() && !loaded.contains(table) &&
            QSet<QString>(columns.begin(), columns.end()).size() == columns.size() &&
            std::all_of(columns.begin(), columns.end(), [&](const QString &c) { return known.contains(c); });
        if (!sound) {
            *error = QStringLiteral("the archive's rows are not those of the program's tables: %1").arg(line);
            ok = false;
            break;
        }
        QStringList quotedColumns;
        for (const QString &column : std::as_const(columns))
            quotedColumns.append(quotedIdentifier(connection, column));
        PostgresCopy rows(connection);
        ok = rows.start(QStringLiteral("COPY %1.%2 (%3) FROM STDIN")
                            .arg(quotedSchema, table, quotedColumns.join(QStringLiteral(", ")))
                            .toUtf8(),
                        error);
        bool ended = false;
        while (ok && lines.next(&raw)) {
            if (raw == "\\.") {
                ended = true;
                break;
            }
            ok = rows.row(raw, error);
        }
        if (ok && !ended) {
            *error = QStringLiteral("the archive's rows of %1 break off").arg(table);
            ok = false;
        }
        ok = ok && rows.end(error);
        loaded.insert(table, {columns, true});
    }
    if (!ok) {
        process.kill();
        process.waitForFinished(-1);
        return false;
    }
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error =
            QStringLiteral("pg_restore failed: %1").arg(QString::fromUtf8(process.readAllStandardError()).simplified());
        return false;
    }

    for (const Table &table : tables) {
        const QString name = QLatin1String(table.name);
        if (!loaded.contains(name)) {
            *error = QStringLiteral("the archive holds no rows of %1").arg(name);
            return false;
        }
        QStringList ignored;
        // Lines from before each workstation kept its own order.
        if (name == QLatin1String("ordernow") && !loaded[name].columns.contains(QStringLiteral("station")) &&
            !PgCommand::column(connection,
                               QStringLiteral("UPDATE %1.ordernow SET station = $1 WHERE station IS NULL RETURNING 1")
                                   .arg(quotedSchema)
                                   .toUtf8(),
                               {workstation}, "giving the order lines their workstation", &ignored, error))
            return false;
        // The key goes on from where the archive's went, and past every key
        // restored, so none is handed out twice.
        QStringList sequence;
        const QString qualified = quotedSchema + QLatin1Char('.') + name;
        if (!PgCommand::column(connection, "SELECT pg_get_serial_sequence($1, $2)",
                               {qualified, QLatin1String(table.key)}, "finding the key's sequence", &sequence, error))
            return false;
        const auto value = values.value(sequence.value(0), {1, false});
        if (!PgCommand::column(connection,
                               QStringLiteral("SELECT setval(pg_get_serial_sequence($1, $2), greatest($3::bigint, m), "
                                              "$4::bool OR m >= $3::bigint) FROM (SELECT coalesce(max(%3), 0) AS m "
                                              "FROM %1.%2) AS keys")
                                   .arg(quotedSchema, name, QLatin1String(table.key))
                                   .toUtf8(),
                               {qualified, QLatin1String(table.key), QString::number(value.first),
                                value.second ? QStringLiteral("true") : QStringLiteral("false")},
                               "setting the key's sequence", &ignored, error))
            return false;
        values.remove(sequence.value(0));
    }
    if (!values.isEmpty()) {
        *error =
            QStringLiteral("the archive sets a sequence of no table of the program: %1").arg(values.constBegin().key());
        return false;
    }
    return true;
}

} // namespace ArchiveRows
