#include "platform/Shell.h"
#include "platform/DesktopShell.h"

namespace {
std::unique_ptr<ShellService> &current() {
    static std::unique_ptr<ShellService> service = std::make_unique<DesktopShell>();
    return service;
}
} // namespace

ShellService &Shell::service() { return *current(); }

std::unique_ptr<ShellService> Shell::install(std::unique_ptr<ShellService> service) {
    if (!service)
        service = std::make_unique<DesktopShell>();
    std::swap(service, current());
    return service;
}
