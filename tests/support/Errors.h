#pragma once
#include "platform/Exception.h"

#include <QString>
#include <functional>

/// What an action raised: the message of the program's error, or noError.
inline const QString noError = QStringLiteral("(no error)");
inline QString errorOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const Exception &error) {
        return error.message();
    }
    return noError;
}
