#pragma once
#include <qcustomplot.h>

class TBarSeries;

/// The legend of a bar series: one entry per bar (a box in the series colour,
/// the value, then the label), framed on a white ground with a shadow, as many
/// entries from the first bar on as fit in its height. Empty series, no legend.
class BarLegend : public QCPLayoutElement {
    Q_OBJECT
public:
    BarLegend(QCustomPlot *plot, const TBarSeries *series);
    /// Entries the legend shows at its present height.
    int visibleEntries() const;
    QString entryText(int index) const;

    QSize minimumOuterSizeHint() const override;
    QSize maximumOuterSizeHint() const override;

protected:
    void draw(QCPPainter *painter) override;
    void applyDefaultAntialiasingHint(QCPPainter *) const override {}

private:
    int entryHeight() const;
    int entryWidth() const;

    const TBarSeries *m_series;
    QFont m_font;
};
