// The main menu and the context menu of the main window, and the handlers of
// the items that have no button of their own, the games apart.
#include "ui/dialogs/Unit7.h"
#include "ui/dialogs/Unit8.h"
#include "ui/extras/Unit9.h"
#include "ui/main/Unit2.h"
#include "ui/splash/Unit1.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace {
QAction *item(QMenu *menu, const QString &name, const QString &caption) {
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QMenu *submenu(QMenuBar *bar, QAction *&item, const QString &name, const QString &caption) {
    QMenu *menu = bar->addMenu(caption);
    item = menu->menuAction();
    item->setObjectName(name);
    return menu;
}
} // namespace

void TForm2::buildMenus() {
    QMenu *windows = submenu(MainMenu1, N4, QStringLiteral("N4"), QStringLiteral("Окна"));
    N5 = item(windows, QStringLiteral("N5"), QStringLiteral("Добавить"));
    N6 = item(windows, QStringLiteral("N6"), QStringLiteral("Удалить"));
    N7 = item(windows, QStringLiteral("N7"), QStringLiteral("Диаграмма"));
    N8 = item(windows, QStringLiteral("N8"), QStringLiteral("Ввести пароль"));
    N3 = item(windows, QStringLiteral("N3"), QStringLiteral("Мини Браузер"));
    QMenu *about = submenu(MainMenu1, N2, QStringLiteral("N2"), QStringLiteral("О программе"));
    N10 = item(about, QStringLiteral("N10"), QStringLiteral("Справка"));
    N11 = item(about, QStringLiteral("N11"), QStringLiteral("Автор"));
    QMenu *games = submenu(MainMenu1, N12, QStringLiteral("N12"), QStringLiteral("Игры"));
    N1 = item(games, QStringLiteral("N1"), QStringLiteral("Квадратики"));
    N9 = item(games, QStringLiteral("N9"), QStringLiteral("Змейка"));
    N13 = item(games, QStringLiteral("N13"), QStringLiteral("Йети с битой"));
    N21 = item(games, QStringLiteral("N21"), QStringLiteral("Йети и касатка"));
    N31 = item(games, QStringLiteral("N31"), QStringLiteral("Пингвинов в верх"));
    N41 = item(games, QStringLiteral("N41"), QStringLiteral("Йети и чайки"));
    N51 = item(games, QStringLiteral("N51"), QStringLiteral("Йети гольф"));
    N61 = item(games, QStringLiteral("N61"), QStringLiteral("Йети серфер"));
    N71 = item(games, QStringLiteral("N71"), QStringLiteral("Йети и сноуборд"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N14 = item(PopupMenu1, QStringLiteral("N14"), QStringLiteral("Ввести пароль"));
    N15 = item(PopupMenu1, QStringLiteral("N15"), QStringLiteral("Заставка"));
    N16 = item(PopupMenu1, QStringLiteral("N16"), QStringLiteral("Мини браузер"));
    N17 = item(PopupMenu1, QStringLiteral("N17"), QStringLiteral("Диаграмма"));
    N18 = item(PopupMenu1, QStringLiteral("N18"), QStringLiteral("Выход"));

    // F10, the platform's menu-bar key, opens the first menu; the arrow keys
    // walk on from there. The items themselves keep no keys.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] { MainMenu1->setActiveAction(N4); });

    // Items that do what a button does share its handler.
    wire(N5, &QAction::triggered, &TForm2::BitBtn8Click);
    wire(N6, &QAction::triggered, &TForm2::BitBtn11Click);
    wire(N7, &QAction::triggered, &TForm2::BitBtn13Click);
    wire(N8, &QAction::triggered, &TForm2::N8Click);
    wire(N3, &QAction::triggered, &TForm2::N3Click);
    wire(N10, &QAction::triggered, &TForm2::N10Click);
    wire(N11, &QAction::triggered, &TForm2::N11Click);
    wire(N1, &QAction::triggered, &TForm2::N1Click);
    wire(N9, &QAction::triggered, &TForm2::N9Click);
    wire(N13, &QAction::triggered, &TForm2::N13Click);
    wire(N21, &QAction::triggered, &TForm2::N21Click);
    wire(N31, &QAction::triggered, &TForm2::N31Click);
    wire(N41, &QAction::triggered, &TForm2::N41Click);
    wire(N51, &QAction::triggered, &TForm2::N51Click);
    wire(N61, &QAction::triggered, &TForm2::N61Click);
    wire(N71, &QAction::triggered, &TForm2::N71Click);
    wire(N14, &QAction::triggered, &TForm2::N14Click);
    wire(N15, &QAction::triggered, &TForm2::N15Click);
    wire(N16, &QAction::triggered, &TForm2::N16Click);
    wire(N17, &QAction::triggered, &TForm2::N17Click);
    wire(N18, &QAction::triggered, &TForm2::N18Click);
}

void TForm2::N8Click() { Form8->ShowModal(); }
void TForm2::N14Click() { Form8->ShowModal(); }
void TForm2::N3Click() { Form9->Show(); }
void TForm2::N16Click() { Form9->Show(); }
void TForm2::N15Click() { Form1->Show(); }
void TForm2::N18Click() { Form1->Close(); }

void TForm2::N10Click() {
    Form7->Label5->hide();
    Form7->Label6->hide();
    Form7->Label7->hide();
    Form7->Label1->show();
    Form7->Label2->show();
    Form7->Label3->show();
    Form7->Label4->show();
    Form7->setWindowTitle(QStringLiteral("Справка"));
    Form7->ShowModal();
}
void TForm2::N11Click() {
    Form7->setWindowTitle(QStringLiteral("Автор"));
    Form7->Label5->show();
    Form7->Label6->show();
    Form7->Label7->show();
    Form7->Label1->hide();
    Form7->Label2->hide();
    Form7->Label3->hide();
    Form7->Label4->hide();
    Form7->ShowModal();
}
void TForm2::N17Click() { BitBtn13Click(); }
