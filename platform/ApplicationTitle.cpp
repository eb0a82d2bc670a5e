#include "platform/ApplicationTitle.h"

#include <QCoreApplication>
#include <QFileInfo>

QString applicationTitleOf(const QString &programPath) {
    QString name = QFileInfo(programPath).fileName();
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

QString applicationTitle() { return applicationTitleOf(QCoreApplication::applicationFilePath()); }
