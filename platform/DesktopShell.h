#pragma once
#include "platform/Shell.h"

/// The real shell: the desktop's browser for addresses, a detached process for
/// programs. Failures are dropped, as the callers want.
class DesktopShell : public ShellService {
public:
    void openUrl(const QString &address) override;
    void startDetached(const QString &path, const QString &workingDir, ShowMode mode) override;
};
