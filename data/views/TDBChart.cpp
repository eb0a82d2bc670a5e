#include "data/views/TDBChart.h"
#include "data/views/BarLabelTicker.h"
#include "data/views/BarLegend.h"
#include "data/views/TBarSeries.h"

TDBChart::TDBChart(const QString &name, QWidget *parent) : QCustomPlot(parent) {
    setObjectName(name);
    setBackground(Qt::white);
    legend->setVisible(false);
    // Title above; below it the plot and, on its right, the legend.
    QCPAxisRect *plot = axisRect();
    plotLayout()->take(plot);
    m_title = new QCPTextElement(this, QString(), font());
    m_title->setTextFlags(Qt::AlignRight | Qt::AlignVCenter);
    m_title->setMargins(QMargins(8, 4, 12, 4));
    plotLayout()->addElement(0, 0, m_title);
    m_body = new QCPLayoutGrid;
    plotLayout()->addElement(1, 0, m_body);
    m_body->addElement(0, 0, plot);
    for (QCPAxis *axis : {xAxis, yAxis}) {
        axis->grid()->setVisible(false);
        axis->setSubTicks(false);
    }
    yAxis->setRange(0, 1);
}

TDBChart::~TDBChart() = default;

TBarSeries *TDBChart::addBarSeries(const QString &name) {
    m_series = new TBarSeries(name, xAxis, yAxis);
    m_ticker = QSharedPointer<BarLabelTicker>::create(xAxis);
    xAxis->setTicker(m_ticker);
    m_legend = new BarLegend(this, m_series);
    m_body->addElement(0, 1, m_legend);
    m_body->setColumnStretchFactors({1.0, 0.0001});
    connect(m_series, &TBarSeries::pointsChanged, this, &TDBChart::pointsChanged);
    placeView();
    pointsChanged();
    return m_series;
}

void TDBChart::setChart3DPercent(int percent) {
    m_depthPercent = percent;
    placeView();
}

void TDBChart::setView3DZoom(int percent) {
    m_zoomPercent = percent;
    placeView();
}

void TDBChart::setView3DHorizOffset(int pixels) {
    m_horizOffset = pixels;
    placeView();
}

void TDBChart::placeView() {
    const int depth = std::min(width(), height()) * m_depthPercent / 100 / 8;
    const int spareX = width() * (100 - m_zoomPercent) / 200;
    const int spareY = height() * (100 - m_zoomPercent) / 200;
    axisRect()->setMinimumMargins(
        QMargins(spareX + m_horizOffset, spareY / 2 + depth + 4, spareX / 2 + depth + 4, spareY / 2));
    if (m_series)
        m_series->setDepth(depth);
}

void TDBChart::resizeEvent(QResizeEvent *event) {
    placeView();
    QCustomPlot::resizeEvent(event);
}

void TDBChart::pointsChanged() {
    const int count = m_series->Count();
    m_ticker->setLabels(m_series->labels());
    xAxis->setRange(-0.5, std::max(count, 1) - 0.5);
    // From zero, or the lowest height below it, to the highest, with a little room.
    const double low = m_series->minY(), high = m_series->maxY(), room = (high - low) * 0.05;
    if (high > low)
        yAxis->setRange(low < 0 ? low - room : 0, high > 0 ? high + room : 0);
    else
        yAxis->setRange(0, 1);
    // A hidden chart is drawn when it is next shown, not at every change.
    if (isVisible())
        replot(rpQueuedReplot);
    else
        m_stale = true;
}

void TDBChart::showEvent(QShowEvent *event) {
    QCustomPlot::showEvent(event);
    if (m_stale) {
        m_stale = false;
        replot();
    }
}
