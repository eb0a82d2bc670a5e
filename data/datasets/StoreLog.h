#pragma once
#include <QLoggingCategory>
#include <QString>

/// Where every error the program deliberately swallows or retries is written
/// (a lost connection, a failed rollback, a read-ahead read again), so that a
/// shop's problem can be diagnosed. Silent unless turned on with
/// QT_LOGGING_RULES="drevalon.store.debug=true".
Q_DECLARE_LOGGING_CATEGORY(storeLog)

/// The text of the error being handled; only inside a catch block.
QString caughtErrorText();
