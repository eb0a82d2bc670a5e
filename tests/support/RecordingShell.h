#pragma once
#include "platform/Shell.h"

#include <QList>
#include <QStringList>

/// Records every request to the shell instead of acting on it, for the effects
/// a test cannot observe (a browser opening on the desktop).
class RecordingShell : public ShellService {
public:
    struct Start {
        QString path;
        QString workingDir;
        ShowMode mode;
    };

    void openUrl(const QString &address) override { m_opened.append(address); }
    void startDetached(const QString &path, const QString &workingDir, ShowMode mode) override {
        m_started.append({path, workingDir, mode});
    }

    const QStringList &opened() const { return m_opened; }
    const QList<Start> &started() const { return m_started; }

private:
    QStringList m_opened;
    QList<Start> m_started;
};

/// Installs a RecordingShell for the lifetime of the guard.
class RecordingShellGuard {
public:
    RecordingShellGuard() {
        auto recording = std::make_unique<RecordingShell>();
        m_shell = recording.get();
        m_previous = Shell::install(std::move(recording));
    }
    ~RecordingShellGuard() { Shell::install(std::move(m_previous)); }
    RecordingShell &operator*() const { return *m_shell; }
    RecordingShell *operator->() const { return m_shell; }

private:
    RecordingShell *m_shell;
    std::unique_ptr<ShellService> m_previous;
};
