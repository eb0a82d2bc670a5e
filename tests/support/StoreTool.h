#pragma once
// The real drevalon-stores, run as an administrator runs it. The suite that
// includes this defines DREVALON_STORES_BINARY, the tool's path in the build.
#include "data/StoreSettings.h"

#include <QProcess>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

namespace StoreTool {

struct Run {
    int exitCode = -1;
    QString out, err;
};

/// Makes a tool started by `process` take the way of a filesystem without
/// unnamed files.
inline void useNamedCopy(QProcess &process) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DREVALON_BACKUP_NO_TMPFILE"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
}

/// Waits for a started tool and gives what it said.
inline Run finished(QProcess &process) {
    Run run;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

/// The tool with `arguments`; `fileLimit` > 0 gives it that much room per
/// file, as a full disk would; `namedCopy` makes it take the way of a
/// filesystem without unnamed files.
inline Run tool(const QStringList &arguments, qint64 fileLimit = 0, bool namedCopy = false) {
    QProcess process;
    if (namedCopy)
        useNamedCopy(process);
    if (fileLimit > 0)
        process.setChildProcessModifier([fileLimit] {
            const rlimit limit{rlim_t(fileLimit), rlim_t(fileLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN); // a write past it fails instead of killing
        });
    process.start(QStringLiteral(DREVALON_STORES_BINARY), arguments);
    return finished(process);
}

/// The tool with `arguments`, finding the programs it starts (pg_dump,
/// pg_restore) in `bin` before anywhere else.
inline Run toolWithPrograms(const QStringList &arguments, const QString &bin) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(DREVALON_STORES_BINARY), arguments);
    return finished(process);
}

/// The stores of `settings`, as the tool's options name them.
inline QStringList storeArguments(const StoreSettings &settings) {
    return {QStringLiteral("--driver"),    settings.driver,  QStringLiteral("--database"), settings.database,
            QStringLiteral("--alias-dir"), settings.aliasDir};
}

} // namespace StoreTool
