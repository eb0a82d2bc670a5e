#pragma once
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QTextDocument>
#include <functional>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

/// A rendered report laid out once and cut into A4 pages, with our own margins
/// and the footer "Страница N из M". A page ends only between lines of text or
/// between table rows, never inside a row, and a table continued on a new page
/// repeats its header rows there. Every destination draws these same pages,
/// scaled to its sheet, so the preview, the printer and a PDF agree.
class ReportPages {
public:
    /// Throws when the layout would take an absurd number of pages.
    explicit ReportPages(const QString &html);

    const QTextDocument &document() const { return m_document; }
    int pageCount() const { return int(m_pages.size()); }

    /// A4 portrait without margins: everything is placed on the whole sheet.
    static QPageLayout pageLayout();
    /// Sets that layout on a printer.
    static void preparePrinter(QPrinter &printer);
    /// Draws the pages (1-based, in the order given), one per sheet, on a
    /// printer or a PDF writer. Before each sheet `progress` hears how many are
    /// done and may stop the drawing by returning false (a printer's job is then
    /// aborted). Sheets past the first `drawn` are begun and left blank, for a
    /// preview that fills them in later; a negative `drawn` draws them all.
    /// Returns false when the device could not be started, a page not begun, or
    /// the drawing was stopped.
    bool print(QPagedPaintDevice &device, const QList<int> &pages,
               const std::function<bool(int done, int total)> &progress = {}, int drawn = -1) const;

private:
    /// A stretch of the laid-out document, and the header rows drawn above it.
    struct Page {
        double top = 0, bottom = 0;
        double headerTop = 0, headerBottom = 0;
    };
    void paginate();
    void drawPage(QPainter &painter, int page) const;

    QImage m_layoutDevice; // a fixed resolution, so pages never depend on the printer
    QTextDocument m_document;
    QList<Page> m_pages;
};
