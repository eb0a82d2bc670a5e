#pragma once
#include <QString>

/// How a report reads and writes amounts: a number is read from the text a
/// field shows in any locale ("1234.5", "1234,5", "1 234,50"), and money is
/// written the Russian way, "1 234,50", never breaking inside the amount.
namespace ReportNumbers {
/// The number the text spells, blanks around it allowed; ok tells whether it is
/// one. A text of more than 15 significant digits is none: a double would round it.
double read(const QString &text, bool *ok);
/// Two decimals, a decimal comma and a no-break space between thousands.
QString money(double value);
} // namespace ReportNumbers
