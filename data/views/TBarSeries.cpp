#include "data/views/TBarSeries.h"
#include "data/datasets/TDataSet.h"
#include "data/datasets/TDataSource.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>

namespace {
// The hourglass for the length of a rebuild.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

QPointF back(const QPointF &point, double depth) { return point + QPointF(depth, -depth); }
} // namespace

TBarSeries::TBarSeries(const QString &name, QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPBars(keyAxis, valueAxis), m_source(std::make_unique<TDataSource>(name + QStringLiteral("Source"))) {
    setObjectName(name);
    setName(name);
    setWidth(0.7);
    setSeriesColor(m_color);
    m_link.setDataSource(m_source.get());
}

TBarSeries::~TBarSeries() = default;

void TBarSeries::setDataSet(TDataSet *dataSet) { m_source->setDataSet(dataSet); }

TDataSet *TBarSeries::DataSet() const { return m_source->DataSet(); }

void TBarSeries::setSeriesColor(const QColor &color) {
    m_color = color;
    setBrush(color);
    setPen(QPen(color.darker(160)));
}

double TBarSeries::YValue(int index) const { return (data()->constBegin() + index)->value; }

void TBarSeries::follow() {
    TDataSet *dataSet = DataSet();
    if (dataSet && dataSet->Active())
        rebuild();
    else
        clearPoints();
}

void TBarSeries::clearPoints() {
    if (m_labels.isEmpty() && data()->isEmpty())
        return;
    data()->clear();
    m_labels.clear();
    m_maxY = 0;
    m_minY = 0;
    emit pointsChanged();
}

void TBarSeries::rebuild() {
    TDataSet *dataSet = DataSet();
    if (!dataSet || !dataSet->Active()) {
        clearPoints();
        return;
    }
    const WaitCursor wait;
    const TField *yField = m_yField.isEmpty() ? nullptr : dataSet->FindField(m_yField);
    const TField *labelField = m_labelField.isEmpty() ? nullptr : dataSet->FindField(m_labelField);
    const int rows = dataSet->RecordCount();
    QVector<QCPBarsData> points(rows);
    QStringList labels;
    labels.reserve(rows);
    double maxY = 0, minY = 0;
    // Straight from the stored rows in dataset order: the current row and the
    // views stay as they are.
    for (int row = 0; row < rows; ++row) {
        const QVariant y = yField ? dataSet->valueAt(row, *yField) : QVariant();
        const double value = y.isNull() ? 0.0 : y.toDouble();
        points[row] = QCPBarsData(row, value);
        maxY = std::max(maxY, value);
        minY = std::min(minY, value);
        labels.append(labelField ? labelField->displayTextOf(dataSet->valueAt(row, *labelField)) : QString());
    }
    data()->set(points, true);
    m_labels = std::move(labels);
    m_maxY = maxY;
    m_minY = minY;
    ++m_rebuilds;
    emit pointsChanged();
}

QRect TBarSeries::clipRect() const {
    // The boxes and walls reach back and up by the depth, out of the front plane.
    return QCPBars::clipRect().adjusted(0, -m_depth, m_depth, 0);
}

void TBarSeries::draw(QCPPainter *painter) {
    drawWalls(painter);
    if (Count() == 0)
        return;
    const QCPRange keys = keyAxis()->range();
    const int first = std::max(0, static_cast<int>(std::floor(keys.lower)));
    const int last = std::min(Count() - 1, static_cast<int>(std::ceil(keys.upper)));
    if (first > last)
        return;
    const double pixelsPerBar = keyAxis()->axisRect()->width() / std::max(keys.size(), 1e-9);
    if (pixelsPerBar >= 3)
        drawBoxes(painter, first, last);
    else
        drawColumns(painter, first, last);
}

void TBarSeries::drawWalls(QCPPainter *painter) const {
    const QRectF front = keyAxis()->axisRect()->rect();
    const double d = m_depth;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    const QColor wallColor(242, 242, 242);
    const QPen edge(QColor(128, 128, 128));
    painter->setPen(edge);
    painter->setBrush(wallColor);
    // The floor and the left wall are shaded; the back wall is left clear.
    painter->drawPolygon(QPolygonF(
        {front.bottomLeft(), front.bottomRight(), back(front.bottomRight(), d), back(front.bottomLeft(), d)}));
    painter->drawPolygon(
        QPolygonF({front.topLeft(), back(front.topLeft(), d), back(front.bottomLeft(), d), front.bottomLeft()}));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(front.translated(d, -d));
    QPen grid(QColor(160, 160, 160));
    grid.setStyle(Qt::DotLine);
    painter->setPen(grid);
    for (double tick : valueAxis()->tickVector()) {
        const double y = valueAxis()->coordToPixel(tick);
        if (y <= front.top() || y >= front.bottom())
            continue;
        const QPointF left(front.left(), y);
        painter->drawLine(left, back(left, d));
        painter->drawLine(back(left, d), back(QPointF(front.right(), y), d));
    }
    painter->restore();
}

void TBarSeries::drawBoxes(QCPPainter *painter, int first, int last) const {
    const double base = valueAxis()->coordToPixel(0);
    const double pitch = std::abs(keyAxis()->coordToPixel(1) - keyAxis()->coordToPixel(0));
    const double half = pitch * width() / 2;
    // Close-packed bars get shallow boxes, so each stays readable.
    const double d = std::min(m_depth * 0.75, pitch * 1.5);
    const QColor top = m_color.darker(115), side = m_color.darker(150);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(half >= 3 ? pen() : Qt::NoPen);
    auto begin = data()->constBegin();
    // Left to right: each box's front covers the side of the box before it.
    for (int i = first; i <= last; ++i) {
        const double value = (begin + i)->value;
        if (value == 0)
            continue;
        const double x = keyAxis()->coordToPixel(i);
        const double y = valueAxis()->coordToPixel(value);
        const QPointF topLeft(x - half, std::min(y, base)), topRight(x + half, std::min(y, base));
        const QPointF bottomRight(x + half, std::max(y, base));
        painter->setBrush(side);
        painter->drawPolygon(QPolygonF({topRight, back(topRight, d), back(bottomRight, d), bottomRight}));
        painter->setBrush(top);
        painter->drawPolygon(QPolygonF({topLeft, back(topLeft, d), back(topRight, d), topRight}));
        painter->setBrush(m_color);
        painter->drawRect(QRectF(topLeft, bottomRight));
    }
    painter->restore();
}

void TBarSeries::drawColumns(QCPPainter *painter, int first, int last) const {
    // Many bars share each pixel column: draw the highest and the lowest of
    // each column once, each from zero.
    const QRect front = keyAxis()->axisRect()->rect();
    if (front.width() <= 0)
        return;
    const size_t columns = static_cast<size_t>(front.width()) + 1;
    std::vector<double> highest(columns, 0.0), lowest(columns, 0.0);
    auto begin = data()->constBegin();
    for (int i = first; i <= last; ++i) {
        const int column = static_cast<int>(keyAxis()->coordToPixel(i)) - front.left();
        if (column < 0 || column >= static_cast<int>(columns))
            continue;
        highest[column] = std::max(highest[column], (begin + i)->value);
        lowest[column] = std::min(lowest[column], (begin + i)->value);
    }
    const double base = valueAxis()->coordToPixel(0);
    const double d = 2;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    for (const auto &[shift, color] :
         {std::pair<double, QColor>(d, m_color.darker(150)), std::pair<double, QColor>(0, m_color)}) {
        for (size_t column = 0; column < columns; ++column) {
            for (const double value : {highest[column], lowest[column]}) {
                if (value == 0)
                    continue;
                const double y = valueAxis()->coordToPixel(value);
                painter->fillRect(
                    QRectF(front.left() + column + shift, std::min(y, base) - shift, 1, std::abs(base - y)), color);
            }
        }
    }
    painter->restore();
}
