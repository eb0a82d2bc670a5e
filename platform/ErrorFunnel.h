#pragma once
#include <QObject>
#include <exception>
#include <functional>

class QString;

/// Where every error that leaves a handler ends: the error box, and the program
/// goes on with whatever state the handler reached.
namespace ErrorFunnel {
/// The error box text: the message with a full stop appended when its last
/// character sorts after the full stop.
QString boxText(const QString &message);
/// The message an exception carries.
QString messageOf(const std::exception &error);
/// Shows the error box for the exception being handled (call inside catch).
void report(const std::exception &error);
/// Runs a handler; any error it raises is shown in the error box.
void guard(const std::function<void()> &handler);

/// Connects a signal to a handler that runs under guard().
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection connect(Sender *sender, Signal signal, QObject *context, Handler handler) {
    return QObject::connect(sender, signal, context, [handler](auto &&...) { guard(handler); });
}
} // namespace ErrorFunnel
