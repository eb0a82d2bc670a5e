#pragma once
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

/// Everything the killed workstations confirmed, kept across the rounds on
/// the same stores, and the check of the stores against it after each kill.
/// A step the kill cut through may have happened or not, but only whole: its
/// outcome is read from the stores and kept from then on.
class KillLedger {
public:
    struct Paths {
        QString database, carTable;         // the program's stores
        QString toolDatabase, toolCarTable; // the pair the store tool replaces
    };
    /// The rows one size of the store tool's demo set makes.
    struct Demo {
        qint64 customers = 0, cars = 0, archive = 0, current = 0, shops = 0;
    };

    KillLedger(Paths paths, QList<Demo> demos);

    void knowCustomer(qint64 id);
    void knowCar(const QString &vin, qint64 owner);
    /// The store tool's pair holds this demo set already.
    void knowToolStores(int demo) { m_toolDatabase = m_toolCars = demo; }

    /// Takes in what one workstation said, in order; the step it announced last
    /// and never finished stays under way.
    void read(const QStringList &said);
    /// Settles the step under way from what the stores hold, then checks both
    /// pairs of stores against everything confirmed; returns the faults found.
    QStringList settleAndCheck();

    /// Rounds checked, confirmed steps, cut steps and the evidence on disk.
    QString figures() const;
    int rounds() const { return m_rounds; }
    int cutSteps() const;

private:
    struct Line {
        int kol = 0;
        bool archived = false;
    };
    struct Stored; // what the stores hold, read once per check

    void confirm(const QStringList &begun, const QStringList &done);
    void settle(const Stored &stored);
    void compare(const Stored &stored, QStringList &faults) const;
    int demoOf(int customers, int archive) const;
    /// Forgets the owner's cars, except those still stored in `kept`.
    void forgetCarsOf(qint64 owner, const QHash<QString, QList<qint64>> &kept);

    Paths m_paths;
    QList<Demo> m_demos;
    QHash<QString, Line> m_lines;
    QSet<qint64> m_customers;
    QHash<QString, qint64> m_cars; // VIN → owner
    int m_toolDatabase = -1;       // which demo each tool store holds; -1 none yet
    int m_toolCars = -1;
    QStringList m_underWay;   // the words of the step begun and not done
    QStringList m_readFaults; // what the workstation said that makes no sense

    int m_rounds = 0;
    QMap<QString, int> m_confirmed, m_cut;
    int m_hotJournals = 0, m_toolStaging = 0, m_mixedPairs = 0;
};
