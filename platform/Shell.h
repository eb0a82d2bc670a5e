#pragma once
#include <QString>
#include <memory>

/// How a started program's first window should appear. The values are those
/// the games were made for; a platform that starts every program alike may
/// ignore them, but each caller still says which one it wants.
enum class ShowMode { ShowNormal = 1, Show = 5 };

/// The operating system's shell, as the program uses it: open a web address in
/// the user's browser and start a program detached. Neither result is reported:
/// the callers ignore them. Tests install a recording double.
class ShellService {
public:
    virtual ~ShellService() = default;
    /// Opens the address in the user's browser; a bare host name is a web host.
    virtual void openUrl(const QString &address) = 0;
    /// Starts the program at the path, detached, in the working directory.
    virtual void startDetached(const QString &path, const QString &workingDir, ShowMode mode) = 0;
};

namespace Shell {
/// The shell in force; the desktop's unless a test installed another.
ShellService &service();
/// Installs a shell (nullptr restores the desktop's); returns the previous one.
std::unique_ptr<ShellService> install(std::unique_ptr<ShellService> service);

inline void openUrl(const QString &address) { service().openUrl(address); }
inline void startDetached(const QString &path, const QString &workingDir, ShowMode mode) {
    service().startDetached(path, workingDir, mode);
}
} // namespace Shell
