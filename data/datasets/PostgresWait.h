#pragma once
// Waiting for a database server's answer, bounded. A server that stays silent
// (a commit waiting for a standby that is gone, a host that hangs while its
// kernel still acknowledges packets, a row lock that a hung workstation
// holds) is asked to cancel the command, and is given up when even that goes
// unanswered: no command holds the window much longer than silenceMs +
// cancelMs. A given-up connection is broken (CONNECTION_BAD), so the callers'
// broken-connection paths apply, and the next command connects again.
//
// The warnings a server sends are counted too: a commit it reports done after
// it stopped waiting for its standby ("canceling wait for synchronous
// replication") comes with one, and is not confirmed.
#include <libpq-fe.h>

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <memory>

namespace PostgresWait {
using Result = std::unique_ptr<PGresult, void (*)(PGresult *)>;

constexpr int silenceMs = 12000; // no answer at all: the command is cancelled
constexpr int cancelMs = 3000;   // still none: the connection is given up
constexpr int rowsMs = 60000;    // a read the server may sort whole before its first row

/// Counts the server's warnings on `conn` from now on (once, after it opens).
void watchWarnings(PGconn *conn);
/// The warnings counted on this thread so far.
quint64 warnings();

/// Whether `conn` was given up for its silence by the last command sent on it.
bool gaveUp(const PGconn *conn);

/// A server process left behind by a given-up connection: it may still be
/// finishing the command (a commit waiting for its standby, invisible until
/// it ends), so a write must not be looked for on that server before it ends.
struct Abandoned {
    QByteArray host, port;
    int pid = 0;
};
/// Takes the processes left behind on the server `conn` is connected to.
QList<Abandoned> takeAbandoned(const PGconn *conn);

/// Waits until what was sent on `conn` is answered whole; false when the
/// connection was given up instead.
bool await(PGconn *conn, int silence = silenceMs);

/// The answer to what a PQsend... call (`sent` its outcome) sent on `conn`,
/// waited for under that bound: its first failing result, or its last one, as
/// the blocking calls of libpq give.
Result answer(PGconn *conn, int sent);
/// PQexec and PQexecParams (text results) under that bound.
Result exec(PGconn *conn, const char *sql);
Result execParams(PGconn *conn, const char *sql, int count, const char *const *values, const int *lengths,
                  const int *formats);
} // namespace PostgresWait
