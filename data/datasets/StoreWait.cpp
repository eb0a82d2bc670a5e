#include "data/datasets/StoreWait.h"

#include <QCoreApplication>
#include <QThread>

namespace {
std::function<void()> s_listener;
bool s_ranOut = false;

// Readers on other threads wait quietly and in full: nobody looks at them.
bool onMainThread() {
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
} // namespace

void StoreWait::setListener(std::function<void()> waiting) {
    s_listener = std::move(waiting);
    s_ranOut = false;
}

void StoreWait::commandOver() { s_ranOut = false; }

bool StoreWait::mayWait() {
    if (!s_listener || !onMainThread())
        return true;
    if (s_ranOut)
        return false;
    s_listener();
    return true;
}

void StoreWait::ranOut() {
    if (s_listener && onMainThread())
        s_ranOut = true;
}
