#pragma once
// What every views suite needs: a small shop in real stores, a shown and active
// window to put views on, and keys sent where the keyboard would send them.
#include "data/Unit3.h"
#include "data/views/ViewBinding.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/TestStores.h"
#include "tests/support/Typing.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QWidget>
#include <memory>

namespace ViewsKit {

/// Three customers; Ivanov has one car and two current order lines, Petrov two
/// cars and one line, Sidorov nothing at all.
struct Shop {
    TestStores stores;
    qint64 ivanov = 0, petrov = 0, sidorov = 0;

    Shop() {
        ivanov = stores.addCustomer(QStringLiteral("Ivan"), QStringLiteral("Ivanov"), QStringLiteral("89161234567"));
        petrov = stores.addCustomer(QStringLiteral("Petr"), QStringLiteral("Petrov"), QStringLiteral("89031112233"),
                                    QStringLiteral("4951234567"));
        sidorov = stores.addCustomer(QStringLiteral("Sidor"), QStringLiteral("Sidorov"), QStringLiteral("89990000000"));
        stores.addCar(QStringLiteral("Lada Granta"), QStringLiteral("XTA219000K0000001"), ivanov);
        stores.addCar(QStringLiteral("Kia Rio"), QStringLiteral("Z94CB41AAJR000002"), petrov);
        stores.addCar(QStringLiteral("Toyota Camry"), QStringLiteral("JTNB11HK003000003"), petrov);
        stores.addCurrent(ivanov, QStringLiteral("Mann"), QStringLiteral("C 2774"), QStringLiteral("Air filter"), 2,
                          800);
        stores.addCurrent(ivanov, QStringLiteral("Bosch"), QStringLiteral("0451103316"), QStringLiteral("Oil filter"),
                          1, 450);
        stores.addCurrent(petrov, QStringLiteral("TRW"), QStringLiteral("GDB1330"), QStringLiteral("Brake pads"), 1,
                          2500);
        stores.addArchived(ivanov, QStringLiteral("NGK"), QStringLiteral("BKR6E"), QStringLiteral("Spark plug"), 4, 300,
                           QStringLiteral("2025-12-01"));
    }

    int count(const QString &table, const QString &where = QStringLiteral("1=1")) const {
        return stores.scalar(QStringLiteral("select count(*) from %1 where %2").arg(table, where)).toInt();
    }
    int cars(qint64 owner) const {
        return stores.carScalar(QStringLiteral("select count(*) from drevalonParadox where IdCust = ?"), {owner})
            .toInt();
    }
};

/// Views bound by data source name resolve against this module while it lives.
class Binding {
public:
    explicit Binding(TDataModule3 &module) {
        ViewBinding::install([&module](const QString &name) { return module.findDataSource(name); });
    }
    ~Binding() { ViewBinding::uninstall(); }
};

/// A top-level window with one plain edit field to move the focus to.
class Window : public QWidget {
public:
    Window() {
        resize(1000, 640);
        elsewhere = new QLineEdit(this);
        elsewhere->setObjectName(QStringLiteral("elsewhere"));
        elsewhere->setGeometry(900, 600, 90, 22);
    }
    /// Shows the window and makes it the active one, so focus moves are real.
    bool showActive() {
        show();
        QApplication::setActiveWindow(this);
        activateWindow();
        return QTest::qWaitForWindowActive(this);
    }
    QLineEdit *elsewhere;
};

/// What a view test stands on: the shop's stores, answered boxes, the data
/// module with views binding to it by name, and a window; torn down in reverse.
struct Bench {
    Shop shop;
    ScriptedMessagesGuard messages;
    TDataModule3 module{shop.stores.settings()};
    Binding binding{module};
    Window window;
};

/// A suite's hold on a fresh bench for each test, with short names for its parts.
class BenchHolder {
protected:
    void startBench() {
        bench = std::make_unique<Bench>();
        shop = &bench->shop;
        module = &bench->module;
        window = &bench->window;
    }
    void stopBench() { bench.reset(); }
    ScriptedMessages &msgs() const { return *bench->messages; }

    std::unique_ptr<Bench> bench;
    Shop *shop = nullptr;
    TDataModule3 *module = nullptr;
    Window *window = nullptr;
};

/// Gives the widget the focus and waits until it has it.
inline bool focus(QWidget *widget) {
    widget->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000);
}

/// Sends a key to the widget holding the focus, as the keyboard does.
inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget *target = QApplication::focusWidget();
    if (!target)
        QFAIL("no widget has the focus");
    QTest::keyClick(target, key, modifiers);
}

using Typing::type;

inline void russianLocale() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

} // namespace ViewsKit
