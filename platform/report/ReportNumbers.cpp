#include "platform/report/ReportNumbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {
const QChar noBreakSpace(0x00A0);
} // namespace

double ReportNumbers::read(const QString &text, bool *ok) {
    // Blanks are accepted only as thousands separators, so text such as
    // "12 5" is not taken for 125.
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(?:\\d{1,3}(?:[ \\x{00A0}\\x{202F}]\\d{3})+|\\d+)(?:[.,]\\d+)?$"));
    const QString trimmed = text.trimmed();
    *ok = false;
    if (!number.match(trimmed).hasMatch())
        return 0;
    // More digits than a double keeps would print rounded, another amount than
    // the one typed: such a text is no number here and shows as it is.
    int significant = 0;
    for (QChar c : trimmed)
        if (c.isDigit() && (significant > 0 || c != QLatin1Char('0')))
            ++significant;
    if (significant > std::numeric_limits<double>::digits10)
        return 0;
    QString plain;
    for (QChar c : trimmed) {
        if (c == QLatin1Char(','))
            plain.append(QLatin1Char('.'));
        else if (!c.isSpace())
            plain.append(c);
    }
    const double value = QLocale::c().toDouble(plain, ok);
    if (*ok && !std::isfinite(value))
        *ok = false;
    return *ok ? value : 0;
}

QString ReportNumbers::money(double value) {
    const QString digits = QString::number(std::fabs(value), 'f', 2);
    const int point = digits.indexOf(QLatin1Char('.'));
    QString whole = digits.left(point);
    for (int at = whole.size() - 3; at > 0; at -= 3)
        whole.insert(at, noBreakSpace);
    // A value that rounds to zero carries no sign.
    const bool negative = value < 0 && digits != QLatin1String("0.00");
    return (negative ? QStringLiteral("-") : QString()) + whole + QLatin1Char(',') + digits.mid(point + 1);
}
