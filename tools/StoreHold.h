// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Whether the program has the stores open, for the jobs that must not run
// under it (a restore, an upgrade of the tables).
namespace StoreHold {

// A file descriptor closed with its owner.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The program holds each store it opens with a shared flock on the file
// `<store>.inuse` beside it (SqliteDialect::hold); an exclusive one that cannot
// be had means it is running on them. No such file: it never opened them.
// The exclusive locks taken are kept in `locks`, so the program cannot start
// on the stores while the job runs.
bool heldByProgram(const QString &path, std::vector<std::unique_ptr<Descriptor>> *locks);
// The store and who holds it ("pid 1234 drevalon of kassa2"), as the
// system's lock table tells, for the message that refuses a job.
QString heldStore(const QString &path);
QString heldMessage(const QStringList &held);
// The name the program's server sessions carry: its own, unless the
// connection text gives another.
QString programName(const QString &connectionText);

} // namespace StoreHold
