#pragma once
#include "data/StoreSettings.h"

#include <QString>
#include <exception>
#include <functional>

/// Creates the windows and the data module in their fixed order, each once, and
/// destroys them in reverse. A failure while creating them leaves nothing behind
/// and is rethrown for the caller to report.
namespace Startup {
void createAll(const StoreSettings &settings);
void destroyAll();
/// The two lines of the box shown when start-up fails.
QString fatalText(const std::exception &error);
/// Runs the whole program: creation, the message loop, destruction. Returns the
/// exit code (1 when start-up failed). `started` runs once the main form is shown.
int run(int &argc, char **argv, const StoreSettings &settings, const std::function<void()> &started = {});
} // namespace Startup
