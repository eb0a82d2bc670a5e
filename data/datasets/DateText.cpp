#include "data/datasets/DateText.h"

#include <QLocale>

namespace {
// A two-digit year reads as the year of that name nearest to now, within
// fifty years either way, not as one of the 1900s.
QDate withCentury(const QDate &date, const QString &format) {
    if (!date.isValid() || format.contains(QLatin1String("yyyy")) || !format.contains(QLatin1String("yy")))
        return date;
    QDate shifted = date;
    while (shifted.year() < QDate::currentDate().year() - 50)
        shifted = shifted.addYears(100);
    return shifted;
}
} // namespace

QDate dateFromText(const QString &text) {
    const QLocale locale;
    const QString trimmed = text.trimmed();
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    const QDate local = withCentury(locale.toDate(trimmed, shortFormat), shortFormat);
    if (local.isValid())
        return local;
    for (const QString &format :
         {QStringLiteral("dd.MM.yyyy"), QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate date = QDate::fromString(trimmed, format);
        if (date.isValid())
            return date;
    }
    return QDate();
}
