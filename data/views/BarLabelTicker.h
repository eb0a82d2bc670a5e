#pragma once
#include <QStringList>
#include <qcustomplot.h>

/// Ticks of a bar series' axis: whole positions only, labelled with the bar
/// labels, as many as fit side by side without overlapping; the others are left
/// out, whatever the number of bars.
class BarLabelTicker : public QCPAxisTicker {
public:
    explicit BarLabelTicker(const QCPAxis *axis) : m_axis(axis) {}
    void setLabels(const QStringList &labels) { m_labels = labels; }

protected:
    double getTickStep(const QCPRange &range) override;
    int getSubTickCount(double) override { return 0; }
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override;
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override;

private:
    const QCPAxis *m_axis;
    QStringList m_labels;
};
