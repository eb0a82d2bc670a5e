#include "data/datasets/StoreLog.h"

#include <exception>

Q_LOGGING_CATEGORY(storeLog, "drevalon.store", QtWarningMsg)

QString caughtErrorText() {
    try {
        throw;
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("an error of unknown kind");
    }
}
