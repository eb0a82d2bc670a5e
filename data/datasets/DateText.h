#pragma once
#include <QDate>
#include <QString>

/// A date typed or passed as text: the locale's short form (a two-digit year
/// taken in the century nearest to now), then
/// day.month.year, then ISO. Invalid when none fits, and for a year before 1
/// or after 9999, which no store keeps.
QDate dateFromText(const QString &text);

/// A stored "yyyy-mm-dd" as its Julian day, read from the bytes with no
/// allocation (a store hands over a million of them); false for any other
/// text and for a date that does not exist.
bool julianDayOfIso(const char *text, int length, qint64 *day);
