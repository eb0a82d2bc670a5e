#pragma once
#include <QDate>
#include <QString>

/// A date typed or passed as text: the locale's short form (a two-digit year
/// taken in the century nearest to now), then
/// day.month.year, then ISO. Invalid when none fits, and for a year before 1
/// or after 9999, which no store keeps.
QDate dateFromText(const QString &text);
