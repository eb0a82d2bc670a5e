#pragma once
#include <QDate>
#include <QString>

/// A date typed or passed as text: the locale's short form, then
/// day.month.year, then ISO. Invalid when none fits.
QDate dateFromText(const QString &text);
