#pragma once
// A PostgreSQL server of one test's own (scripts/pg-throwaway.sh), for what
// the shared test server cannot give: stopping and starting it, or a server
// nobody else writes to.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class PrivateServer {
public:
    PrivateServer() {
        QProcess start;
        start.start(QStringLiteral("bash"), {script()});
        start.waitForFinished(120000);
        m_text = QString::fromUtf8(start.readAllStandardOutput()).trimmed();
        m_dir = QString::fromUtf8(start.readAllStandardError()).trimmed().split(QLatin1Char('\n')).last();
    }
    ~PrivateServer() { run(QStringLiteral("stop")); }
    PrivateServer(const PrivateServer &) = delete;
    PrivateServer &operator=(const PrivateServer &) = delete;

    bool isValid() const { return m_text.startsWith(QStringLiteral("host=")); }
    QString connectionText() const { return m_text; }
    bool halt() const { return run(QStringLiteral("halt")); }
    bool resume() const { return run(QStringLiteral("resume")); }

    /// Makes the test stores made while it lives go to this server.
    class Use {
    public:
        explicit Use(const PrivateServer &server) : m_shared(qgetenv("DREVALON_TEST_PG")) {
            qputenv("DREVALON_TEST_PG", server.connectionText().toUtf8());
        }
        ~Use() { qputenv("DREVALON_TEST_PG", m_shared); }

    private:
        QByteArray m_shared;
    };

private:
    static QString script() { return QStringLiteral(DREVALON_SOURCE_DIR "/scripts/pg-throwaway.sh"); }
    bool run(const QString &command) const {
        QProcess process;
        process.start(QStringLiteral("bash"), {script(), command, m_dir});
        return process.waitForFinished(120000) && process.exitCode() == 0;
    }
    QString m_text, m_dir;
};
