#include "data/views/BarLegend.h"
#include "data/views/TBarSeries.h"

#include <QFontMetrics>

namespace {
constexpr int padding = 4;
constexpr int shadow = 3;
constexpr int boxSize = 10;
// Entries measured for the width: enough to find the widest text in practice
// without reading every bar of a long series.
constexpr int measured = 64;
} // namespace

BarLegend::BarLegend(QCustomPlot *plot, const TBarSeries *series)
    : QCPLayoutElement(plot), m_series(series), m_font(plot->font()) {
    setLayer(QStringLiteral("legend"));
    setMargins(QMargins(8, 0, 8, 0));
}

QString BarLegend::entryText(int index) const {
    return QStringLiteral("%1  %2").arg(QString::number(m_series->YValue(index), 'g', 15),
                                        m_series->Label(index).trimmed());
}

int BarLegend::entryHeight() const { return QFontMetrics(m_font).height() + 2; }

int BarLegend::entryWidth() const {
    const QFontMetrics metrics(m_font);
    int widest = 0;
    for (int i = 0; i < m_series->Count() && i < measured; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(entryText(i)));
    return padding + boxSize + padding + widest + padding;
}

int BarLegend::visibleEntries() const {
    const int room = (rect().height() - 2 * padding - shadow) / entryHeight();
    return std::max(0, std::min(m_series->Count(), room));
}

QSize BarLegend::minimumOuterSizeHint() const {
    if (m_series->Count() == 0)
        return QSize(0, 0);
    return QSize(entryWidth() + shadow + mMargins.left() + mMargins.right(), 0);
}

QSize BarLegend::maximumOuterSizeHint() const {
    const QSize minimum = minimumOuterSizeHint();
    return QSize(minimum.width(), QWIDGETSIZE_MAX);
}

void BarLegend::draw(QCPPainter *painter) {
    const int entries = visibleEntries();
    if (entries == 0)
        return;
    const QRect frame(rect().left(), rect().top(), entryWidth(), 2 * padding + entries * entryHeight());
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->fillRect(frame.translated(shadow, shadow), QColor(128, 128, 128));
    painter->setPen(Qt::black);
    painter->setBrush(Qt::white);
    painter->drawRect(frame);
    painter->setFont(m_font);
    for (int i = 0; i < entries; ++i) {
        const int top = frame.top() + padding + i * entryHeight();
        const QRect box(frame.left() + padding, top + (entryHeight() - boxSize) / 2, boxSize, boxSize);
        painter->setPen(Qt::black);
        painter->setBrush(m_series->seriesColor());
        painter->drawRect(box);
        painter->drawText(QRect(box.right() + padding, top, frame.width(), entryHeight()),
                          Qt::AlignLeft | Qt::AlignVCenter, entryText(i));
    }
}
