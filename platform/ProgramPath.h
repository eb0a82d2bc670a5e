#pragma once
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>

/// A path setting as the program uses it. A relative one is taken from the
/// directory of the running program, not from wherever it was started: an
/// installed build names its files that way (from bin/ to share/drevalon and
/// var/lib/drevalon), so the same package works wherever its tree lies.
/// Header-only, so the store tool resolves its defaults the same way.
namespace ProgramPath {
inline QString programDir() {
    // The program reads its store settings before the application object
    // exists; Linux names the running program without it.
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

inline QString resolve(const QString &path) {
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QDir(programDir()).filePath(path));
}
} // namespace ProgramPath
