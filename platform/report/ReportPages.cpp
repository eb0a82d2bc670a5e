#include "platform/report/ReportPages.h"
#include "platform/Exception.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
#include <cmath>

namespace {
// Layout units are dots of 300 per inch; lengths below are in millimetres.
constexpr double dpi = 300;
constexpr double paperWidth = 210, paperHeight = 297;
constexpr double marginLeft = 20, marginRight = 10, marginTop = 12, marginBottom = 12;
constexpr double footerBand = 8;
constexpr double footerPoints = 8;
// Far beyond any order a shop prints, short of what a broken layout can ask for.
constexpr int maxPages = 1000;

constexpr double dots(double mm) { return mm / 25.4 * dpi; }
constexpr double bodyWidth = dots(paperWidth - marginLeft - marginRight);
constexpr double bodyHeight = dots(paperHeight - marginTop - marginBottom - footerBand);

/// The vertical extent of a table row's contents.
struct RowExtent {
    double top = HUGE_VAL, bottom = -HUGE_VAL;
};

RowExtent rowExtent(const QAbstractTextDocumentLayout &layout, const QTextTable &table, int row) {
    RowExtent extent;
    for (int column = 0; column < table.columns(); ++column) {
        const QTextTableCell cell = table.cellAt(row, column);
        if (cell.row() != row || cell.column() != column)
            continue; // covered by a spanning cell
        for (QTextBlock block = cell.firstCursorPosition().block();
             block.isValid() && block.position() <= cell.lastPosition(); block = block.next()) {
            const QRectF box = layout.blockBoundingRect(block);
            extent.top = std::min(extent.top, box.top());
            extent.bottom = std::max(extent.bottom, box.bottom());
        }
    }
    return extent;
}

/// Whether a cell of an earlier row reaches down into this one.
bool spansInto(const QTextTable &table, int row) {
    for (int column = 0; column < table.columns(); ++column)
        if (table.cellAt(row, column).row() < row)
            return true;
    return false;
}

/// Where a page may end: the last place of one page and the first of the next.
struct Break {
    double end, next;
    bool operator<(const Break &other) const { return end < other.end; }
};

/// The break between two rows: the page ends just past the border between them,
/// so the border stays with the upper row, and the next page starts below the
/// border, above the lower row's text. `border` is the table's border width.
Break betweenRows(const RowExtent &upper, const RowExtent &lower, double border) {
    const double middle = (upper.bottom + lower.top) / 2;
    const double room = (lower.top - upper.bottom) / 2;
    return {middle + std::min(border / 2 + 0.5, room), middle + std::min(border / 2 + dots(0.2), room)};
}
} // namespace

ReportPages::ReportPages(const QString &html) : m_layoutDevice(1, 1, QImage::Format_RGB32) {
    m_layoutDevice.setDotsPerMeterX(qRound(dpi / 0.0254));
    m_layoutDevice.setDotsPerMeterY(qRound(dpi / 0.0254));
    m_document.documentLayout()->setPaintDevice(&m_layoutDevice);
    // Design metrics keep the line breaks the same whatever the sheet's resolution.
    m_document.setUseDesignMetrics(true);
    m_document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    m_document.setDocumentMargin(0);
    // One endless page: the cutting into pages is ours. The width comes first,
    // so the document is laid out once, as it is read.
    m_document.setTextWidth(bodyWidth);
    m_document.setHtml(html);
    paginate();
}

void ReportPages::paginate() {
    const QAbstractTextDocumentLayout &layout = *m_document.documentLayout();
    const double end = layout.documentSize().height();
    QList<Break> breaks;
    struct Span {
        double top, bottom;
    };
    QList<Span> tables;
    struct Header {
        double top, bottom, tableBottom;
    };
    QList<Header> headers;
    QList<double> lineEnds;
    QTextFrame *root = m_document.rootFrame();
    for (auto it = root->begin(); !it.atEnd(); ++it) {
        QTextFrame *frame = it.currentFrame();
        auto *table = qobject_cast<QTextTable *>(frame);
        if (table && table->rows() > 0) {
            // A table's extent is taken from its rows' contents: borders and
            // padding lie around them. Borders are given in pixels of 96 per inch.
            const double border = table->format().border() * dpi / 96;
            QList<RowExtent> rows;
            for (int row = 0; row < table->rows(); ++row)
                rows.append(rowExtent(layout, *table, row));
            const double gap =
                rows.size() > 1 ? rows[1].top - rows[0].bottom : 2 * table->format().cellPadding() * dpi / 96 + border;
            const double outside = gap / 2 + border / 2 + 1;
            const Span span{rows.first().top - outside, rows.last().bottom + outside};
            tables.append(span);
            breaks << Break{span.top, span.top} << Break{span.bottom, span.bottom};
            const int headerRows = std::min(table->format().headerRowCount(), table->rows() - 1);
            // Never inside the header nor right after it: the header stays with a row.
            for (int row = std::max(headerRows + 1, 1); row < table->rows(); ++row)
                if (!spansInto(*table, row) && rows[row - 1].top <= rows[row - 1].bottom)
                    breaks << betweenRows(rows[row - 1], rows[row], border);
            if (headerRows > 0)
                headers.append(
                    {span.top, betweenRows(rows[headerRows - 1], rows[headerRows], border).end, span.bottom});
        } else if (frame) {
            const QRectF box = layout.frameBoundingRect(frame);
            breaks << Break{box.top(), box.top()} << Break{box.bottom(), box.bottom()};
        } else {
            const QTextBlock block = it.currentBlock();
            const QTextLayout *lines = block.layout();
            const double top = layout.blockBoundingRect(block).top() - lines->boundingRect().top();
            for (int i = 0; i < lines->lineCount(); ++i)
                lineEnds << top + lines->lineAt(i).y() + lines->lineAt(i).height();
        }
    }
    // The empty paragraph Qt tucks into a table's border must not cut the table.
    for (double y : lineEnds) {
        const bool inTable = std::any_of(tables.begin(), tables.end(),
                                         [y](const Span &span) { return y > span.top && y < span.bottom; });
        if (!inTable)
            breaks << Break{y, y};
    }
    std::sort(breaks.begin(), breaks.end());

    double top = 0;
    while (top < end - 1 || m_pages.isEmpty()) {
        // Every page moves on, so only a huge document gets this far (a layout
        // with an absurd margin, say): no work order runs this long.
        if (m_pages.size() >= maxPages)
            throw Exception(QStringLiteral("The report cannot be printed: its layout would take more than %1 pages.")
                                .arg(maxPages));
        Page page;
        page.top = top;
        for (const Header &header : headers) {
            if (top >= header.bottom && top < header.tableBottom) {
                page.headerTop = header.top;
                page.headerBottom = header.bottom;
            }
        }
        // The lowest place, not below `limit`, where the page may end after
        // holding something; null when nothing fits.
        auto lastBreak = [&](double limit) -> const Break * {
            auto fits = std::upper_bound(breaks.begin(), breaks.end(), Break{limit, limit});
            return fits != breaks.begin() && (fits - 1)->end > top + 1 ? &*(fits - 1) : nullptr;
        };
        double limit = top + bodyHeight - (page.headerBottom - page.headerTop);
        // A repeated header that leaves no room for the next row is left out.
        if (page.headerBottom > page.headerTop && limit < end && !lastBreak(limit)) {
            page.headerTop = page.headerBottom = 0;
            limit = top + bodyHeight;
        }
        double next = limit;
        if (limit >= end) {
            page.bottom = next = std::max(end, top);
        } else if (const Break *fits = lastBreak(limit)) {
            page.bottom = fits->end;
            next = fits->next;
        } else {
            page.bottom = limit; // a row taller than a page is cut
        }
        m_pages.append(page);
        top = next;
    }
}

QPageLayout ReportPages::pageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
}

void ReportPages::preparePrinter(QPrinter &printer) {
    printer.setPageLayout(pageLayout());
    printer.setFullPage(true);
}

bool ReportPages::print(QPagedPaintDevice &device, const QList<int> &pages,
                        const std::function<bool(int, int)> &progress, int drawn) const {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // Fit A4 on the sheet the device holds (the same A4 unless the user chose
    // another paper in the print dialog).
    const QRectF sheet = device.pageLayout().fullRectPixels(device.logicalDpiX());
    const double scale = std::min(sheet.width() / dots(paperWidth), sheet.height() / dots(paperHeight));
    for (int i = 0; i < pages.size(); ++i) {
        if (progress && !progress(i, int(pages.size()))) {
            // A printer drops the job; a file is the caller's to throw away.
            if (auto *printer = dynamic_cast<QPrinter *>(&device))
                printer->abort();
            return false;
        }
        if (i > 0 && !device.newPage())
            return false;
        if (drawn >= 0 && i >= drawn)
            continue;
        painter.save();
        painter.scale(scale, scale);
        drawPage(painter, pages[i]);
        painter.restore();
    }
    if (progress)
        progress(int(pages.size()), int(pages.size()));
    return painter.end();
}

void ReportPages::drawPage(QPainter &painter, int number) const {
    const Page &page = m_pages.at(number - 1);
    auto drawStretch = [&](double top, double bottom, double at) {
        painter.save();
        painter.translate(dots(marginLeft), dots(marginTop) + at - top);
        const QRectF stretch(0, top, bodyWidth, bottom - top);
        painter.setClipRect(stretch);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = stretch;
        context.palette.setColor(QPalette::Text, Qt::black);
        m_document.documentLayout()->draw(&painter, context);
        painter.restore();
    };
    const double header = page.headerBottom - page.headerTop;
    if (header > 0)
        drawStretch(page.headerTop, page.headerBottom, 0);
    drawStretch(page.top, page.bottom, header);

    // A pixel size in layout dots: a point size would be taken at the printer's
    // resolution and then scaled a second time.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(qRound(footerPoints / 72 * dpi));
    painter.setFont(font);
    painter.setPen(QColor(0x55, 0x55, 0x55));
    const QRectF footer(dots(marginLeft), dots(paperHeight - marginBottom - footerBand * 0.6), bodyWidth,
                        dots(footerBand * 0.6));
    painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("Страница %1 из %2").arg(number).arg(pageCount()));
}
