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

bool julianDayOfIso(const char *text, int length, qint64 *day) {
    if (length != 10 || text[4] != '-' || text[7] != '-')
        return false;
    int digits[8];
    static constexpr int at[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i) {
        digits[i] = text[at[i]] - '0';
        if (digits[i] < 0 || digits[i] > 9)
            return false;
    }
    const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    const int month = digits[4] * 10 + digits[5], dayOfMonth = digits[6] * 10 + digits[7];
    static constexpr int monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1 || month < 1 || month > 12 || dayOfMonth < 1 ||
        dayOfMonth > monthDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return false;
    // Days since 1970-01-01 in the proleptic Gregorian calendar, as QDate counts.
    const int y = month <= 2 ? year - 1 : year;
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + dayOfMonth - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    *day = qint64(era) * 146097 + dayOfEra - 719468 + 2440588;
    return true;
}
