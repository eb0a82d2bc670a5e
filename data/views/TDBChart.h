#pragma once
#include <qcustomplot.h>

class BarLabelTicker;
class BarLegend;
class TBarSeries;

/// A chart over a dataset: a title, a bar series bound to the dataset, the bar
/// labels on the bottom axis and a legend on the right, drawn in 3D with walls
/// in perspective. It redraws only when shown, so following a dataset while
/// hidden costs the series rebuild and nothing more.
class TDBChart : public QCustomPlot {
    Q_OBJECT
public:
    explicit TDBChart(const QString &name, QWidget *parent = nullptr);
    ~TDBChart() override;

    /// Adds the bar series (the chart holds one).
    TBarSeries *addBarSeries(const QString &name);
    TBarSeries *series() const { return m_series; }
    QCPTextElement *Title() const { return m_title; }
    BarLegend *Legend() const { return m_legend; }

    /// Depth of the 3D view as a percentage.
    void setChart3DPercent(int percent);
    /// Size of the 3D view as a percentage of the room it has.
    void setView3DZoom(int percent);
    void setView3DHorizOffset(int pixels);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void pointsChanged();
    void placeView();

    QCPTextElement *m_title;
    TBarSeries *m_series = nullptr;
    BarLegend *m_legend = nullptr;
    QSharedPointer<BarLabelTicker> m_ticker;
    QCPLayoutGrid *m_body;
    int m_depthPercent = 15;
    int m_zoomPercent = 100;
    int m_horizOffset = 0;
    bool m_stale = false;
};
