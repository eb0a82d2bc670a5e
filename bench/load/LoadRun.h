#pragma once
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

/// One load run: the demo set loaded once onto the server, N workstation
/// processes doing a shop's day against it (with a failover of a
/// primary/standby pair in the middle when asked), and at the end the server
/// and every car table checked against what the workstations typed and were
/// told. It never writes to the stores itself after loading them.
class LoadRun {
public:
    struct Options {
        int workstations = 20;
        int seconds = 600;
        int customers = 400;
        int archive = 20000;
        QString connection;      ///< libpq's connection text of the server (or of both servers)
        QString workstationRole; ///< when set: the role the workstations log in as, granted rows only
        QString clusterDir;      ///< with a failover: the pair's directory (pg-cluster.sh)
        bool failover = false;   ///< stop the primary halfway, promote the standby
        /// With a failover: the cluster is Patroni's (pg-ha.sh), whose leader is
        /// killed halfway and nobody promotes anything; the old leader is started
        /// again once another leads and must come back as a replica.
        bool automatic = false;
        /// With an automatic failover: how many times something happens to the
        /// cluster over the day, in turn a leader killed, the synchronous replica
        /// killed and the leader frozen for 40 s (SIGSTOP), each once the cluster
        /// is whole again after the one before. 1: the leader killed halfway.
        int events = 1;
        int promoteAfterMs = 1500;
        int thinkMs = 0;         ///< a user's pause before each press, on average
        bool doublePost = false; ///< the workstations post some lines twice (to see the checks fail)
        QString workDir;         ///< car tables and logs
        QString summaryFile;     ///< per-command figures written here
        QString compareFile;     ///< and set against those of an earlier run
        quint32 seed = 2311;
    };
    struct Result {
        QStringList violations; ///< the invariants broken, each with its evidence
        QStringList faults;     ///< what the workstations saw the program do wrong, or their crashes
        int ordersMoved = 0;
        int linesConfirmed = 0;
        int totalsCompared = 0;
        qint64 recoveryMs = -1; ///< failover: promotion to every workstation's next completed command
        qint64 electionMs = -1; ///< automatic failover: the longest from a leader's loss to the next leader seen
        int leaderKills = 0, replicaKills = 0, freezes = 0;
        int replicaKillOverruns = 0; ///< presses across a replica's kill longer than 2 × their p95 otherwise
        QString report;              ///< everything printed
    };

    explicit LoadRun(Options options);
    ~LoadRun();
    /// Runs the whole load; bounded in time by the options' seconds.
    Result run();

private:
    struct State;
    std::unique_ptr<State> m;
};
