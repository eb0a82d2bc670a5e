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

// A date the stores can keep: they are written as "yyyy-mm-dd", which has no
// year before 1 or after 9999 (Qt reads "-2003" as a year, and writes such a
// date as empty text).
QDate storable(const QDate &date) { return date.year() >= 1 && date.year() <= 9999 ? date : QDate(); }
} // namespace

QDate dateFromText(const QString &text) {
    const QLocale locale;
    const QString trimmed = text.trimmed();
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    const QDate local = storable(withCentury(locale.toDate(trimmed, shortFormat), shortFormat));
    if (local.isValid())
        return local;
    for (const QString &format :
         {QStringLiteral("dd.MM.yyyy"), QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate date = storable(QDate::fromString(trimmed, format));
        if (date.isValid())
            return date;
    }
    return QDate();
}
