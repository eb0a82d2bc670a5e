#include "data/views/BarLabelTicker.h"

#include <QFontMetrics>
#include <cmath>

double BarLabelTicker::getTickStep(const QCPRange &range) {
    // Room for one label: the widest of a few, plus a gap.
    const QFontMetrics metrics(m_axis->tickLabelFont());
    int widest = metrics.horizontalAdvance(QStringLiteral("00.00.0000"));
    for (int i = 0; i < m_labels.size() && i < 16; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(m_labels[i].trimmed()));
    const double pixels = std::max(1, m_axis->axisRect()->width());
    const double perLabel = widest + 8.0;
    const double fitting = std::max(1.0, std::floor(pixels / perLabel));
    return std::max(1.0, std::ceil(range.size() / fitting));
}

QVector<double> BarLabelTicker::createTickVector(double tickStep, const QCPRange &range) {
    QVector<double> ticks;
    const double first = std::max(0.0, std::ceil(range.lower / tickStep) * tickStep);
    const double last = std::min(range.upper, static_cast<double>(m_labels.size()) - 1);
    for (double tick = first; tick <= last; tick += tickStep)
        ticks.append(tick);
    return ticks;
}

QString BarLabelTicker::getTickLabel(double tick, const QLocale &, QChar, int) {
    const int index = static_cast<int>(std::lround(tick));
    return index >= 0 && index < m_labels.size() ? m_labels[index].trimmed() : QString();
}
