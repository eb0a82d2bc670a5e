#include "platform/report/TRvProject.h"
#include "platform/Exception.h"
#include "platform/ProgramPath.h"
#include "platform/WindowOwner.h"
#include "platform/report/OutputOptionsWindow.h"
#include "platform/report/ReportPages.h"
#include "platform/report/ReportRowSource.h"
#include "platform/report/ReportTemplate.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsView>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QScreen>
#include <QStringDecoder>

namespace {
/// Brackets the reading of every source: each one that began is ended again,
/// also when a later one or the rendering fails.
class SourceReading {
public:
    explicit SourceReading(const QList<ReportRowSource *> &sources) {
        try {
            for (ReportRowSource *source : sources) {
                source->beginRead();
                m_begun.append(source);
            }
        } catch (...) {
            // No destructor runs for a constructor that throws.
            endQuietly();
            throw;
        }
    }
    ~SourceReading() { endQuietly(); }
    /// Ends every source; the first failure is rethrown once all are ended.
    void finish() {
        std::exception_ptr failure;
        while (!m_begun.isEmpty()) {
            try {
                m_begun.takeLast()->endRead();
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        }
        if (failure)
            std::rethrow_exception(failure);
    }

private:
    void endQuietly() noexcept {
        try {
            finish();
        } catch (...) {
            // Already failing: the first error is the one the user sees.
        }
    }

    QList<ReportRowSource *> m_begun;
};

QList<int> pageRange(int from, int to) {
    QList<int> out;
    for (int page = from; page <= to; ++page)
        out.append(page);
    return out;
}

/// The pages a printer asks for when its own dialog chose a range, else `chosen`.
QList<int> pagesFor(const QPrinter &printer, const QList<int> &chosen, int pageCount) {
    if (printer.printRange() != QPrinter::PageRange || printer.fromPage() < 1)
        return chosen;
    return pageRange(printer.fromPage(), std::min(printer.toPage(), pageCount));
}

/// Every page in order, once per copy: copies come out collated.
QList<int> sheets(const QList<int> &pages, int copies) {
    QList<int> out;
    for (int copy = 0; copy < copies; ++copy)
        out.append(pages);
    return out;
}

QString quoted(const QString &path) { return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"'); }

/// Runs `then` once `widget` has been painted for the first time, after the
/// paint is done.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget *widget, std::function<void()> then) : m_then(std::move(then)) {
        if (widget)
            widget->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(this, m_then, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void()> m_then;
};
} // namespace

TRvProject::TRvProject(const QString &name, QObject *parent) : QObject(parent) { setObjectName(name); }

TRvProject::~TRvProject() = default;

void TRvProject::setProjectFile(const QString &path) {
    // A relative project lies beside an installed program's own files.
    QString file = ProgramPath::resolve(path);
    if (!QFileInfo(file).fileName().contains(QLatin1Char('.')))
        file += QStringLiteral(".rav");
    if (file != m_projectFile)
        Close();
    m_projectFile = file;
}

void TRvProject::Open() {
    if (Active())
        return;
    const QFileInfo info(m_projectFile);
    if (!info.isFile())
        throw Exception(QStringLiteral("The following reporting project does not exist:\n") +
                        quoted(info.absoluteFilePath()));
    QFile file(info.absoluteFilePath());
    auto unreadable = [&](const QString &reason) {
        return Exception(QStringLiteral("The following reporting project cannot be read:\n") +
                         quoted(info.absoluteFilePath()) + QLatin1Char('\n') + reason);
    };
    if (!file.open(QIODevice::ReadOnly))
        throw unreadable(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw unreadable(file.errorString());
    // A layout is UTF-8 text: other bytes would print as replacement characters.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        throw unreadable(QStringLiteral("It is not UTF-8 text."));
    m_layout = std::make_unique<ReportTemplate>(text, info.absoluteFilePath());
}

void TRvProject::Close() { m_layout.reset(); }

void TRvProject::addConnection(ReportRowSource *source) {
    for (ReportRowSource *&known : m_sources) {
        if (known->sourceName() == source->sourceName()) {
            known = source;
            return;
        }
    }
    m_sources.append(source);
}

ReportRowSource *TRvProject::connection(const QString &name) const {
    for (ReportRowSource *source : m_sources)
        if (source->sourceName() == name)
            return source;
    return nullptr;
}

QString TRvProject::renderHtml() {
    Open();
    SourceReading reading(m_sources);
    const QString html = m_layout->render(m_parameters, m_sources);
    reading.finish();
    return html;
}

void TRvProject::Execute() {
    Open();
    ++m_runs;
    m_lastHtml.clear();
    OutputOptionsWindow::Choice choice;
    {
        OutputOptionsWindow window(defaultFileName(), WindowOwner::current());
        m_optionsWindow = &window;
        const int answer = window.exec();
        m_optionsWindow = nullptr;
        if (answer != QDialog::Accepted)
            return;
        choice = window.choice();
    }

    const QString html = renderHtml();
    const ReportPages pages(html);
    QList<int> numbers = pageRange(1, pages.pageCount());
    if (choice.fromPage > 0) {
        if (choice.fromPage > pages.pageCount())
            throw Exception(QStringLiteral("The report has %1 page(s); there is no page %2.")
                                .arg(pages.pageCount())
                                .arg(choice.fromPage));
        numbers = pageRange(choice.fromPage, std::min(choice.toPage, pages.pageCount()));
    }
    m_lastHtml = html;
    switch (choice.destination) {
    case OutputOptionsWindow::Destination::Preview: preview(pages, numbers); break;
    case OutputOptionsWindow::Destination::Printer: printOnPrinter(pages, numbers, choice.copies); break;
    case OutputOptionsWindow::Destination::File: writeFile(pages, numbers, choice.copies, choice.fileName); break;
    }
}

void TRvProject::preview(const ReportPages &pages, const QList<int> &numbers) {
    QPrinter printer(QPrinter::HighResolution);
    ReportPages::preparePrinter(printer);
    printer.setDocName(m_layout->title());
    QPrintPreviewDialog window(&printer, WindowOwner::current());
    window.setObjectName(QStringLiteral("ReportPreview"));
    window.setWindowTitle(QStringLiteral("Report Preview"));
    if (const QScreen *screen = window.screen()) {
        const QRect free = screen->availableGeometry();
        window.resize(std::min(1000, free.width() * 9 / 10), free.height() * 9 / 10);
    }
    // A long order shows its first sheet without waiting for the others: they
    // are begun blank, so the preview knows every sheet, and drawn once the
    // first is on screen. Every later request draws every sheet, the preview's
    // own print button too, which lands here with the printer it chose.
    bool firstOnly = numbers.size() > 1;
    m_previewDrawn = 0;
    connect(&window, &QPrintPreviewDialog::paintRequested, &window, [&](QPrinter *target) {
        const QList<int> wanted = sheets(pagesFor(*target, numbers, pages.pageCount()), 1);
        const int drawn = firstOnly ? 1 : int(wanted.size());
        firstOnly = false;
        pages.print(*target, wanted, {}, drawn);
        m_previewDrawn = drawn;
    });
    QPointer<QPrintPreviewWidget> sheetsView = window.findChild<QPrintPreviewWidget *>();
    QGraphicsView *view = sheetsView ? sheetsView->findChild<QGraphicsView *>() : nullptr;
    FirstPaint drawTheRest(firstOnly && view ? view->viewport() : nullptr, [sheetsView] {
        if (sheetsView)
            sheetsView->updatePreview();
    });
    m_previewWindow = &window;
    window.exec();
    m_previewWindow = nullptr;
}

void TRvProject::printOnPrinter(const ReportPages &pages, const QList<int> &numbers, int copies) {
    QPrinter printer(QPrinter::HighResolution);
    ReportPages::preparePrinter(printer);
    printer.setDocName(m_layout->title());
    printer.setCopyCount(copies);
    if (numbers.size() != pages.pageCount()) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(numbers.first(), numbers.last());
    }
    QPrintDialog dialog(&printer, WindowOwner::current());
    dialog.setMinMax(1, pages.pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // A printer that cannot make copies itself gets every page once per copy.
    const int repeat = printer.supportsMultipleCopies() ? 1 : printer.copyCount();
    const QList<int> toSend = sheets(pagesFor(printer, numbers, pages.pageCount()), repeat);

    QProgressDialog status(QStringLiteral("Printing..."), QStringLiteral("Cancel"), 0, int(toSend.size()),
                           WindowOwner::current());
    status.setObjectName(QStringLiteral("ReportStatus"));
    status.setWindowTitle(QStringLiteral("Report Status"));
    status.setWindowModality(Qt::ApplicationModal);
    status.setMinimumDuration(0);
    m_statusWindow = &status;
    const bool done = pages.print(printer, toSend, [&](int sent, int total) {
        status.setLabelText(
            sent < total
                ? QStringLiteral("Sending page %1 of %2 to %3").arg(sent + 1).arg(total).arg(printer.printerName())
                : QStringLiteral("Done"));
        status.setValue(sent);
        return !status.wasCanceled();
    });
    m_statusWindow = nullptr;
    if (!done && !status.wasCanceled())
        throw Exception(QStringLiteral("The report could not be sent to the printer ") + quoted(printer.printerName()));
}

void TRvProject::writeFile(const ReportPages &pages, const QList<int> &numbers, int copies, const QString &fileName) {
    // Written beside the target and renamed over it only when complete: a full
    // disk, a failure or a kill while writing leaves any older file as it was.
    QSaveFile file(fileName);
    auto failed = [&](const QString &reason) {
        return Exception(QStringLiteral("The report cannot be written to the file:\n") + quoted(fileName) +
                         QLatin1Char('\n') + reason);
    };
    if (!file.open(QIODevice::WriteOnly))
        throw failed(file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(ReportPages::pageLayout());
        writer.setTitle(m_layout->title());
        writer.setCreator(QCoreApplication::applicationName());
        // Not committed, the file written so far is removed with `file`.
        if (!pages.print(writer, sheets(numbers, copies)))
            throw failed(file.error() != QFileDevice::NoError ? file.errorString()
                                                              : QStringLiteral("The PDF could not be drawn."));
    }
    // Fails, and removes what was written, when any write failed.
    if (!file.commit())
        throw failed(file.errorString());
}

QString TRvProject::defaultFileName() const {
    QString name = m_layout->title();
    if (name.isEmpty())
        name = QFileInfo(m_projectFile).completeBaseName();
    for (QChar &c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return QDir::home().filePath(name + QStringLiteral(".pdf"));
}
