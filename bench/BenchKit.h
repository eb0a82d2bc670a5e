#pragma once
// What the benchmarks share: rounds taken in a shuffled, alternating order with
// their minimum and median; the markdown rows scripts/bench.sh joins into one
// table; the heap an open holds; the statements the program runs, recorded
// from SQLite itself; the C-API floor that runs them again on connections
// opened as the program opens its own; and waiting for a widget's repaint.
#include "data/Unit3.h"
#include "data/datasets/SqliteDialect.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <malloc.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <vector>

namespace BenchKit {
/// The stores named on the command line (the database, then the car table's
/// directory); nothing, after the usage is printed, when they are missing.
inline std::optional<StoreSettings> storeArguments(int argc, char **argv, const char *usage,
                                                   const QString &driver = QStringLiteral("QSQLITE")) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return std::nullopt;
    }
    return StoreSettings{driver, QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
}

// ---- rounds ---------------------------------------------------------------

struct Rounds {
    std::vector<double> ms;
    double min() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
    double median() const {
        if (ms.empty())
            return 0;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

inline int envNumber(const char *name, int fallback) {
    const char *text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}
/// Rounds per side: at least 7 unless DREVALON_BENCH_ROUNDS asks otherwise.
inline int roundCount() { return std::max(1, envNumber("DREVALON_BENCH_ROUNDS", 7)); }
/// The seed of every shuffle, fixed so a run can be repeated in the same order.
inline unsigned seed() { return static_cast<unsigned>(envNumber("DREVALON_BENCH_SEED", 1907)); }

inline double timed(const std::function<void()> &work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

/// The sides of one or more comparisons. Each round runs every side once, in
/// an order shuffled afresh for the round, so no side always follows the same
/// other one (a side that frees much memory slows the next); `prepare` runs
/// untimed right before its side.
class Alternation {
public:
    const Rounds &add(const std::function<void()> &work, std::function<void()> prepare = {}) {
        return addMeasured([work] { return timed(work); }, std::move(prepare));
    }
    /// A side that times itself: `work` returns its milliseconds.
    const Rounds &addMeasured(std::function<double()> work, std::function<void()> prepare = {}) {
        m_sides.push_back({std::move(prepare), std::move(work), {}});
        return m_sides.back().rounds;
    }
    void run() {
        std::mt19937 random(seed());
        std::vector<size_t> order(m_sides.size());
        for (int round = 0; round < roundCount(); ++round) {
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            // Fisher-Yates on the generator's own numbers: the same order
            // with every standard library.
            for (size_t i = order.size(); i > 1; --i)
                std::swap(order[i - 1], order[random() % i]);
            for (size_t i : order) {
                Side &side = m_sides[i];
                if (side.prepare)
                    side.prepare();
                side.rounds.ms.push_back(side.work());
            }
        }
    }

private:
    struct Side {
        std::function<void()> prepare;
        std::function<double()> work;
        Rounds rounds;
    };
    std::deque<Side> m_sides; // stable addresses for the rounds handed out
};

inline void preamble(const char *what) {
    std::printf("%s\n%d rounds per side, sides in an order shuffled each round (seed %u); "
                "cells: median (min) over the rounds\n\n",
                what, roundCount(), seed());
}

// ---- rows -------------------------------------------------------------------
// Every row: | what | against | ours | floor | ratio | target |. scripts/bench.sh
// joins the rows of the two data sets by their first two cells.

/// Three significant digits, never in exponent form; no decimals from 100 up.
inline std::string number(double value) {
    char text[48];
    int decimals = 0;
    for (double scaled = std::abs(value); scaled > 0 && scaled < 100 && decimals < 12; scaled *= 10)
        ++decimals;
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

inline std::string cell(const Rounds &rounds, const char *unit = "ms") {
    return number(rounds.median()) + " " + unit + " (" + number(rounds.min()) + ")";
}

inline std::string ratio(double ours, double floor) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", floor > 0 ? ours / floor : 0.0);
    return floor > 0 ? text : "";
}

inline void line(const std::string &what, const std::string &against, const std::string &ours, const std::string &floor,
                 const std::string &ratioText, const std::string &target) {
    std::printf("| %s | %s | %s | %s | %s | %s |\n", what.c_str(), against.c_str(), ours.c_str(), floor.c_str(),
                ratioText.c_str(), target.c_str());
    std::fflush(stdout);
}

inline void row(const std::string &what, const Rounds &ours, const std::string &against, const Rounds &floor,
                const std::string &target = {}) {
    line(what, against, cell(ours), cell(floor), ratio(ours.median(), floor.median()), target);
}

inline void row(const std::string &what, const Rounds &ours, const std::string &target = {}) {
    line(what, "", cell(ours), "", "", target);
}

inline void header() { std::printf("| what | against | ours | floor | ratio | target |\n|---|---|---|---|---|---|\n"); }

// ---- memory -----------------------------------------------------------------

/// Bytes the heap hands out now, blocks of their own (mmap) included: a large
/// column array is one of those, and would be missed otherwise.
inline double heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// ---- first opens ------------------------------------------------------------

/// A new dataset made as the data module makes ADOQuery2, on its connection:
/// its first open holds no rows from before, whatever the module's own keeps.
inline std::unique_ptr<TADOQuery> freshArchive(const TDataModule3 &module) {
    auto query = std::make_unique<TADOQuery>(module.ADOQuery2->objectName());
    query->setConnection(module.ADOConnection1);
    query->setFiltered(module.ADOQuery2->Filtered());
    query->setOrderColumns(module.ADOQuery2->orderColumns());
    query->SQL().setLines(module.ADOQuery2->SQL().lines());
    return query;
}

/// The same for ADOTable1, a detail of the module's customer list.
inline std::unique_ptr<TADOTable> freshTable(const TDataModule3 &module) {
    const TADOTable &own = *module.ADOTable1;
    auto table = std::make_unique<TADOTable>(own.objectName());
    table->setConnection(module.ADOConnection1);
    table->setTableName(own.TableName());
    table->setIndexFieldNames(own.IndexFieldNames());
    table->setMasterSource(own.MasterSource());
    table->setMasterFields(own.MasterFields());
    return table;
}

/// An open and its clean-up, both timed.
template <typename DataSet> void openAndClose(std::unique_ptr<DataSet> dataSet) {
    dataSet->Open();
    dataSet->Close();
    dataSet.reset();
}

// ---- SQLite: the statements the program runs ----------------------------------

inline sqlite3 *handleOf(const QSqlDatabase &db) {
    const QVariant handle = db.driver()->handle();
    return handle.isValid() ? *static_cast<sqlite3 *const *>(handle.constData()) : nullptr;
}

/// One statement SQLite began, with its bound values written in, the file of
/// its connection (empty for an in-memory one) and the thread that ran it.
struct Statement {
    std::string sql;
    std::string file;
    std::thread::id thread;
    const void *connection;
};

/// Records every statement SQLite begins on the connections opened while it
/// records (and on those it is told to watch), from any thread.
class StatementLog {
public:
    /// Starts recording; connections opened from now on are watched.
    static void begin() {
        std::lock_guard<std::mutex> lock(state().mutex);
        state().statements.clear();
        state().recording = true;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&watchNew));
    }
    /// Watches a connection opened before recording began.
    static void watch(sqlite3 *db) {
        if (db)
            sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &traced, nullptr);
    }
    /// Stops recording and hands over what was recorded. Connections stay
    /// watched (a check of a flag per statement) but no new one is.
    static std::vector<Statement> end() {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&watchNew));
        std::lock_guard<std::mutex> lock(state().mutex);
        state().recording = false;
        return std::move(state().statements);
    }
    /// What `action` runs, on every connection, the given one included.
    static std::vector<Statement> of(const std::function<void()> &action, sqlite3 *watched = nullptr) {
        begin();
        watch(watched);
        action();
        return end();
    }

private:
    struct State {
        std::mutex mutex;
        bool recording = false;
        std::vector<Statement> statements;
    };
    static State &state() {
        static State instance;
        return instance;
    }
    static int watchNew(sqlite3 *db, const char **, const void *) {
        watch(db);
        return SQLITE_OK;
    }
    static int traced(unsigned, void *, void *statement, void *text) {
        const char *sql = static_cast<const char *>(text);
        if (!sql || std::strncmp(sql, "--", 2) == 0) // a trigger's own steps
            return 0;
        std::lock_guard<std::mutex> lock(state().mutex);
        if (!state().recording)
            return 0;
        auto *stmt = static_cast<sqlite3_stmt *>(statement);
        sqlite3 *db = sqlite3_db_handle(stmt);
        char *expanded = sqlite3_expanded_sql(stmt);
        const char *file = sqlite3_db_filename(db, "main");
        state().statements.push_back(
            {expanded ? expanded : sql, file ? file : "", std::this_thread::get_id(), static_cast<const void *>(db)});
        sqlite3_free(expanded);
        return 0;
    }
};

inline bool startsWithWord(const std::string &sql, const char *word) {
    const size_t length = std::strlen(word);
    return sql.size() >= length && strncasecmp(sql.c_str(), word, length) == 0;
}

/// What only opening a connection runs: its schema check, a table file attached.
inline bool opensConnection(const std::string &sql) {
    return startsWithWord(sql, "attach ") || strcasecmp(sql.c_str(), "select count(*) from sqlite_master") == 0;
}

/// A statement on one line, shortened, for the notes above a table.
inline std::string oneLine(const std::string &sql, size_t longest = 160) {
    std::string line;
    for (char c : sql) {
        const bool blank = c == '\n' || c == '\r' || c == '\t' || c == ' ';
        if (!blank)
            line += c;
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
    }
    if (line.size() > longest) {
        size_t cut = longest;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        line = line.substr(0, cut) + "…";
    }
    return line;
}

inline std::vector<Statement> matching(const std::vector<Statement> &all,
                                       const std::function<bool(const Statement &)> &keep) {
    std::vector<Statement> kept;
    std::copy_if(all.begin(), all.end(), std::back_inserter(kept), keep);
    return kept;
}

inline bool containsNoCase(const std::string &sql, const char *word) {
    std::string lower(sql);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.find(word) != std::string::npos;
}

inline volatile long long sink = 0; // keeps the values read from being optimised away

struct Scan {
    long long rows = 0;
    long long bytes = 0;
    void add(const Scan &other) {
        rows += other.rows;
        bytes += other.bytes;
    }
};

/// The fastest fair reading of one statement: prepared, stepped to the end,
/// every value read by its own type (8 bytes a number, a text's bytes), finalized.
inline Scan scan(sqlite3 *db, const std::string &sql) {
    Scan read;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "floor: %s: %s\n", sqlite3_errmsg(db), sql.c_str());
        return read;
    }
    const int columns = sqlite3_column_count(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++read.rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                sink += sqlite3_column_int64(stmt, c);
                read.bytes += 8;
                break;
            case SQLITE_FLOAT:
                sink += static_cast<long long>(sqlite3_column_double(stmt, c));
                read.bytes += 8;
                break;
            case SQLITE_TEXT: {
                const unsigned char *text = sqlite3_column_text(stmt, c);
                const int bytes = sqlite3_column_bytes(stmt, c);
                sink += bytes > 0 ? text[0] : 0;
                read.bytes += bytes;
                break;
            }
            case SQLITE_BLOB:
                sink += reinterpret_cast<quintptr>(sqlite3_column_blob(stmt, c));
                read.bytes += sqlite3_column_bytes(stmt, c);
                break;
            default: break;
            }
        }
    }
    if (rc != SQLITE_DONE)
        std::fprintf(stderr, "floor: %s: %s\n", sqlite3_errmsg(db), sql.c_str());
    sqlite3_finalize(stmt);
    return read;
}

/// The recorded statements run again through the C API, each once, on the
/// thread the program ran it on (the calling thread standing for the
/// program's GUI thread, one new thread for each other), each connection
/// opened as the program opens its own (SqliteDialect) once, before any run:
/// a file as the database, an in-memory store with the table files it
/// attached. What only opens a connection is not run again.
class Floor {
public:
    explicit Floor(const std::vector<Statement> &recorded) {
        const std::thread::id gui = std::this_thread::get_id();
        std::set<std::pair<std::string, std::string>> seen;
        std::map<std::pair<std::thread::id, const void *>, int> connectionOf;
        for (const Statement &statement : recorded) {
            const auto key = std::make_pair(statement.thread, statement.connection);
            auto found = connectionOf.find(key);
            if (found == connectionOf.end()) {
                found = connectionOf.emplace(key, open(statement.file)).first;
            }
            const int connection = found->second;
            if (opensConnection(statement.sql)) {
                if (startsWithWord(statement.sql, "attach "))
                    scan(handleOf(m_connections[connection]), statement.sql);
                continue;
            }
            if (!seen.insert({statement.file, statement.sql}).second)
                continue; // the same rows read twice are the program's own cost
            Group &group = groupFor(statement.thread == gui ? std::thread::id() : statement.thread);
            group.work.push_back({connection, statement.sql});
            ++m_statements;
        }
    }
    ~Floor() {
        for (QSqlDatabase &db : m_connections) {
            const QString name = db.connectionName();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
        }
    }
    Floor(const Floor &) = delete;
    Floor &operator=(const Floor &) = delete;

    int statements() const { return m_statements; }
    int threads() const { return static_cast<int>(m_groups.size()); }
    /// The statements as they run, thread by thread, for the notes above a table.
    void print(const char *what) const {
        std::printf("%s: %d statement(s) on %d thread(s)\n", what, statements(), threads());
        for (size_t g = 0; g < m_groups.size(); ++g)
            for (const auto &work : m_groups[g].work)
                std::printf("    %s%s\n", m_groups.size() > 1 ? ("[" + std::to_string(g + 1) + "] ").c_str() : "",
                            oneLine(work.second, 320).c_str());
    }

    Scan run() const {
        std::vector<Scan> reads(m_groups.size());
        std::vector<std::thread> others;
        for (size_t g = 1; g < m_groups.size(); ++g)
            others.emplace_back([this, g, &reads] { reads[g] = runGroup(m_groups[g]); });
        if (!m_groups.empty())
            reads[0] = runGroup(m_groups[0]);
        for (std::thread &thread : others)
            thread.join();
        Scan total;
        for (const Scan &read : reads)
            total.add(read);
        return total;
    }

private:
    struct Group {
        std::thread::id thread; // the program's; none for its GUI thread
        std::vector<std::pair<int, std::string>> work;
    };

    Group &groupFor(std::thread::id thread) {
        for (Group &group : m_groups)
            if (group.thread == thread)
                return group;
        // The GUI thread's group first: it runs on the calling thread.
        if (thread == std::thread::id())
            return *m_groups.insert(m_groups.begin(), Group{thread, {}});
        m_groups.push_back({thread, {}});
        return m_groups.back();
    }

    int open(const std::string &file) {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-floor-%1").arg(++s_connections));
        if (file.empty())
            SqliteDialect::openMemory(db);
        else
            SqliteDialect().open(db, QString::fromStdString(file));
        m_connections.push_back(db);
        return static_cast<int>(m_connections.size()) - 1;
    }

    Scan runGroup(const Group &group) const {
        Scan read;
        for (const auto &[connection, sql] : group.work)
            read.add(scan(handleOf(m_connections[connection]), sql));
        return read;
    }

    static inline int s_connections = 0;
    std::vector<QSqlDatabase> m_connections;
    std::vector<Group> m_groups;
    int m_statements = 0;
};

/// The first value a statement reads from the store, as text.
inline std::string firstValue(const QString &database, const char *sql) {
    std::string value;
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW &&
        sqlite3_column_text(stmt, 0))
        value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

/// Writes to the store from a connection of its own, so that no rows the
/// program holds can stand for a first reading (its change stamp moves).
inline void touchStore(const QString &database) {
    static std::map<QString, sqlite3 *> connections;
    sqlite3 *&db = connections[database];
    if (!db && sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "cannot touch %s\n", qPrintable(database));
    static int version = 0;
    const std::string sql = "pragma user_version = " + std::to_string(++version % 1000);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

// ---- widgets --------------------------------------------------------------------

/// Handles every event already queued (untimed, before an event is timed).
inline void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

/// Counts the paints a widget (a scroll area's viewport) has handled.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget *widget) {
        auto *area = qobject_cast<QAbstractScrollArea *>(widget);
        (area ? area->viewport() : widget)->installEventFilter(this);
    }
    int paints() const { return m_paints; }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return false;
    }

private:
    int m_paints = 0;
};

/// Milliseconds from `event` to the widget's next paint handled after it: the
/// event runs, then the event loop until that paint is done. A widget the
/// event itself repainted (its loop run inside) counts at the event's end.
inline double untilRepainted(const PaintCount &count, const std::function<void()> &event) {
    QElapsedTimer timer;
    timer.start();
    const int before = count.paints();
    event();
    const double returned = timer.nsecsElapsed() / 1e6;
    const int afterEvent = count.paints();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (count.paints() > afterEvent)
            return timer.nsecsElapsed() / 1e6;
        if (timer.nsecsElapsed() / 1e6 - returned > 1000) {
            if (afterEvent == before)
                std::fprintf(stderr, "no repaint within a second of the event\n");
            return returned;
        }
    }
}

} // namespace BenchKit
