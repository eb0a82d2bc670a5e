// The work order of a 60-line order, from OK in "Output Options" (the preview
// preselected, as a shop prints) to the first page of "Report Preview"
// painted. The windows are built as at launch and the main window shown on the
// order page; 60 lines are put in the order of the customer it selects first,
// before the windows are built. Each round runs Form2->printWorkOrder() as the
// Наряд-заказ command does; inside the options window's loop OK is clicked
// (the clock starts there), and the round ends when the preview's page view
// has handled a paint showing at least one page; then the preview is closed.
// The store is changed: run it on a copy.
//   bench_preview DATABASE_COPY ALIAS_DIR
#include "app/DrevalonApplication.h"
#include "app/Startup.h"
#include "bench/BenchKit.h"
#include "platform/report/TRvProject.h"
#include "ui/dialogs/Unit10.h"
#include "ui/main/Unit2.h"

#include <QGraphicsView>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace BenchKit;

namespace {
constexpr int orderLines = 60;

// The order of the customer the order page selects first: `lines` lines.
void fillOrder(const QString &database, int lines) {
    sqlite3 *db = nullptr;
    sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::string sql = "begin; delete from orderNow;";
    for (int i = 0; i < lines; ++i)
        sql +=
            "insert into orderNow(idcust, Firm, number, description, kol, cena) select idcust, 'Bosch', '0 986 494 " +
            std::to_string(100 + i) + "', 'Колодки тормозные передние, комплект " + std::to_string(i + 1) + "', " +
            std::to_string(1 + i % 4) + ", " + std::to_string(450 + 37 * i) +
            ".5 from customer order by rowid limit 1;";
    sql += "commit;";
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
        std::fprintf(stderr, "the order was not filled: %s\n", error);
    sqlite3_free(error);
    sqlite3_close(db);
}

// Sees the preview's page view painted with a page in it, and ends the round
// once that paint is done: a call queued from inside a paint runs after it.
class FirstPage : public QObject {
public:
    explicit FirstPage(TRvProject *project) : m_project(project) { qApp->installEventFilter(this); }
    ~FirstPage() override { qApp->removeEventFilter(this); }
    void start() {
        m_timer.start();
        m_seen = false;
        m_ms = -1;
    }
    double ms() const { return m_ms; }
    int pages() const { return m_pages; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        QDialog *window = m_project->previewWindow();
        if (m_seen || !window || event->type() != QEvent::Paint)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        auto *view = widget ? qobject_cast<QGraphicsView *>(widget->parentWidget()) : nullptr;
        auto *preview = window->findChild<QPrintPreviewWidget *>();
        if (!view || view->viewport() != widget || !preview || preview->pageCount() < 1 || widget->window() != window)
            return false;
        m_seen = true;
        m_pages = preview->pageCount();
        QMetaObject::invokeMethod(
            this,
            [this, window] {
                m_ms = m_timer.nsecsElapsed() / 1e6;
                window->reject();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    TRvProject *m_project;
    QElapsedTimer m_timer;
    bool m_seen = false;
    double m_ms = -1;
    int m_pages = 0;
};
} // namespace

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    const std::optional<StoreSettings> arguments =
        BenchKit::storeArguments(argc, argv, "bench_preview DATABASE_COPY ALIAS_DIR");
    if (!arguments)
        return 64;
    const StoreSettings &settings = *arguments;
    fillOrder(settings.database, orderLines);
    Startup::createAll(settings);
    Form2->PageControl1->setCurrentWidget(Form2->TabSheet2);
    Form2->present();
    Form2->Edit1->setText(QStringLiteral("1000"));
    settle();

    TRvProject *project = Form2->RvProject1;
    FirstPage firstPage(project);
    QTimer options; // answers the options window from inside its own loop
    QObject::connect(&options, &QTimer::timeout, [&] {
        OutputOptionsWindow *window = project->outputOptionsWindow();
        if (!window || !window->isVisible())
            return;
        options.stop();
        firstPage.start();
        window->okButton()->click();
    });
    Alternation rounds;
    const Rounds &preview = rounds.addMeasured(
        [&] {
            options.start(1);
            Form2->printWorkOrder();
            if (firstPage.ms() < 0)
                std::fprintf(stderr, "the preview was never painted with a page\n");
            return firstPage.ms();
        },
        settle);
    rounds.run();

    preamble(
        qPrintable(QStringLiteral("The work order of %1 lines (%2 page(s) in the preview at its first paint), "
                                  "%3 customers in the store")
                       .arg(orderLines)
                       .arg(firstPage.pages())
                       .arg(QString::fromStdString(firstValue(settings.database, "select count(*) from customer")))));
    header();
    row("work order of 60 lines: OK → first page of the preview painted", preview, "≤ 100 ms");
    Startup::destroyAll();
    return 0;
}
