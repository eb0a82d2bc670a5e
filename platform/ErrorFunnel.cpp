#include "platform/ErrorFunnel.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"

QString ErrorFunnel::boxText(const QString &message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString ErrorFunnel::messageOf(const std::exception &error) {
    if (auto *own = dynamic_cast<const Exception *>(&error))
        return own->message();
    return QString::fromUtf8(error.what());
}

void ErrorFunnel::report(const std::exception &error) { Messages::error(boxText(messageOf(error))); }

void ErrorFunnel::guard(const std::function<void()> &handler) {
    try {
        handler();
    } catch (const std::exception &error) {
        report(error);
    }
}
