#include "ui/main/Unit2.h"
#include "DrevalonBuild.h"
#include "platform/BackgroundImage.h"
#include "platform/ErrorFunnel.h"
#include "platform/MessageBoxes.h"
#include "platform/PictureButton.h"
#include "ui/splash/Unit1.h"

#include <QAction>
#include <QCalendarWidget>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QVBoxLayout>

TForm2 *Form2 = nullptr;

TForm2::TForm2(QWidget *parent)
    : FormWindow(QStringLiteral("Form2"), QStringLiteral("Drevalon"), parent),
      m_gamesDir(QString::fromUtf8(DrevalonBuild::gamesDir)) {
    resize(1288, 1003);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    buildFrame();
    buildMenus();
    buildCustomerPage();
    buildArchivePage();
    buildOrderPage();
    buildReport();
    PageControl1->setCurrentWidget(TabSheet2);
    MonthCalendar1->raise();
    BitBtn3->raise();
}

void TForm2::buildFrame() {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(MainMenu1);
    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    layout->addWidget(Client);
    Client->installEventFilter(this);

    PageControl1 = new QTabWidget(Client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Главная"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Архив заказов"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Оформление заказа"));
    Image1 = new BackgroundImage(QStringLiteral("Image1"), TabSheet1);
    Image2 = new BackgroundImage(QStringLiteral("Image2"), TabSheet3);
    Image3 = new BackgroundImage(QStringLiteral("Image3"), TabSheet2);

    // Children of the window itself, over every page, fixed from the top left.
    MonthCalendar1 = new QCalendarWidget(Client);
    MonthCalendar1->setObjectName(QStringLiteral("MonthCalendar1"));
    MonthCalendar1->setGeometry(1000, 736, 217, 193);
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    BitBtn3 = new PictureButton(QStringLiteral("BitBtn3"), QStringLiteral("Выход"), Client);
    BitBtn3->setGeometry(1168, 32, 97, 39);
    BitBtn3->setHandCursor(true);
    wire(BitBtn3, &PictureButton::clicked, &TForm2::BitBtn3Click);
    // What a screen reader says for the controls without a caption of their own.
    PageControl1->setAccessibleName(QStringLiteral("Страницы"));
    MonthCalendar1->setAccessibleName(QStringLiteral("Календарь"));
}

bool TForm2::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Client && event->type() == QEvent::Resize)
        PageControl1->setGeometry(Client->rect());
    return FormWindow::eventFilter(watched, event);
}

void TForm2::contextMenuEvent(QContextMenuEvent *event) {
    // The window's own context menu, wherever no control offers one of its own.
    PopupMenu1->exec(event->globalPos());
}

void TForm2::present() {
    // Maximised when first shown; after that as the user sized it, only never
    // left minimised.
    setWindowState((windowState() & ~Qt::WindowMinimized) | (isVisible() ? Qt::WindowNoState : Qt::WindowMaximized));
    show();
    raise();
    activateWindow();
    focusFirstControl();
}

void TForm2::focusFirstControl() {
    // Unless a control of the page has it already: a replay keeps the user's place.
    QWidget *page = PageControl1->currentWidget();
    if (focusWidget() && page->isAncestorOf(focusWidget()))
        return;
    for (QWidget *w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(page)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TForm2::setDates(const QDate &day) {
    MonthCalendar1->setSelectedDate(day);
    DateTimePicker1->setDate(day);
    DateTimePicker2->setDate(day);
}

void TForm2::FormClose() { Form1->Close(); }

void TForm2::BitBtn3Click() { Form1->Close(); }
