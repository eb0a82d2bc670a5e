// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreJob.h"

#include <QTextStream>

namespace StoreJob {

int fail(const QString &message, int code) {
    QTextStream(stderr) << "drevalon-stores: " << message << Qt::endl;
    return code;
}

void report(const QString &database, const Request &request, const DemoData::Written *written) {
    QString text = QStringLiteral("created the database %1 and the car table %2").arg(database, request.carTable);
    if (!written)
        text += QStringLiteral(" (schema only)");
    else
        text += QStringLiteral(" (%1 customers, %2 cars, %3 archive lines, "
                               "%4 current order lines, %5 IP row)")
                    .arg(written->customers)
                    .arg(written->cars)
                    .arg(written->archive)
                    .arg(written->current)
                    .arg(written->shops);
    QTextStream(stdout) << "drevalon-stores: " << text << Qt::endl;
}

} // namespace StoreJob
