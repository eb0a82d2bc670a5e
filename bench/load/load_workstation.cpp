// One workstation of the load: the program's own windows and data module over
// a database on a server and a car table of its own, doing a shop's day in a
// loop drawn from a seed until its time is up. Each press of a control is a
// command, timed around the press; an error box makes the user press again
// after a short pause, with what was typed still there. It says what it typed
// and what was confirmed, so the driver can check the server against it.
//
//   drevalon-load-workstation ID SEED SECONDS DATABASE ALIAS_DIR [--think MS] [--double-post]
//
// The day ends after SECONDS, or sooner when the driver puts a file named
// "stop" in ALIAS_DIR.
//
// --think: a pause before each press, drawn between none and twice MS, for the
// time a user takes to read and type; it is not part of the command's time.
//
// Lines it says (one write each):
//   ready
//   begin ORDER NUMBER CUSTOMER KOL CENA    a line is typed and about to be posted
//   line NUMBER ok|gave-up                  its post confirmed, or given up
//   total ORDER VALUE|unknown               what Сумма заказа showed
//   moved ORDER ok|gave-up                  Сохранить в архив
//   car VIN CUSTOMER                        a car added to the local table
//   cmd NAME MS WALL_MS ok|fail             one press of a control
//   box NAME TEXT                           an error or information box it raised
//   fault TEXT                              the program did what it must not (such as
//                                           showing a line another workstation typed)
//   end CPU_MS                              its own processor time, user and system
#include "app/DrevalonApplication.h"
#include "data/views/TDBEdit.h"
#include "data/views/TDBNavigator.h"
#include "platform/ErrorFunnel.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/support/SayLine.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit4.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QThread>
#include <QToolButton>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

using UiKit::click;

namespace {

void say(const QString &line) { sayLine(line); }

// A refusal of a row read before another workstation changed it: pressing
// again gives the same box, so the user gives up on that edit.
bool staleRow(const QString &text) { return text.contains(QStringLiteral("Row cannot be located")); }

class Workstation {
public:
    Workstation(int id, quint32 seed, int seconds, QString stopFile, int thinkMs, bool doublePost,
                ScriptedMessages &boxes)
        : m_id(id), m_random(seed), m_seconds(seconds), m_stopFile(std::move(stopFile)), m_thinkMs(thinkMs),
          m_doublePost(doublePost), m_boxes(boxes) {}

    void run() {
        UiKit::unlockByPage();
        click(Form2->RadioButton2); // search by surname
        m_clock.start();
        while (m_clock.elapsed() < qint64(m_seconds) * 1000 && !QFile::exists(m_stopFile)) {
            oneOrder();
            QCoreApplication::processEvents();
        }
    }

private:
    struct Press {
        bool ok = false;
        QString lastBox;
    };

    /// Presses a control as a user does: once, and again after each error box
    /// while `again` allows it, at most for a bounded count and time.
    Press press(const QString &name, const std::function<void()> &action,
                const std::function<bool(const QString &)> &again = {}) {
        Press result;
        QElapsedTimer span;
        span.start();
        if (m_thinkMs > 0) {
            QThread::msleep(m_random.bounded(2 * m_thinkMs + 1));
            QCoreApplication::processEvents();
        }
        for (int attempt = 0; attempt < 60 && span.elapsed() < 45000; ++attempt) {
            m_boxes.clear();
            QElapsedTimer timer;
            timer.start();
            action();
            const qint64 ms = timer.nsecsElapsed() / 1000;
            QStringList boxes = m_boxes.texts(QStringLiteral("error")) + m_boxes.texts(QStringLiteral("fatal")) +
                                m_boxes.texts(QStringLiteral("information"));
            m_boxes.clear();
            result.ok = boxes.isEmpty();
            say(QStringLiteral("cmd %1 %2 %3 %4")
                    .arg(name)
                    .arg(double(ms) / 1000.0, 0, 'f', 3)
                    .arg(QDateTime::currentMSecsSinceEpoch())
                    .arg(result.ok ? QStringLiteral("ok") : QStringLiteral("fail")));
            if (result.ok)
                return result;
            for (const QString &box : boxes)
                say(QStringLiteral("box %1 %2").arg(name, box));
            result.lastBox = boxes.constLast();
            if (again && !again(result.lastBox))
                return result;
            QThread::msleep(200 + m_random.bounded(400));
            QCoreApplication::processEvents();
        }
        return result;
    }

    int between(int low, int high) { return int(m_random.bounded(low, high + 1)); }

    /// Every order line this workstation shows must be one it typed: its
    /// numbers, and nobody else's, carry its id.
    void checkOwnLines(const QString &after) {
        TADOTable *lines = DataModule3->ADOTable2;
        if (!lines->Active() || lines->State() != DataSetState::Browse)
            return;
        const QString mine = QStringLiteral("LOAD%1-").arg(m_id);
        const TField &number = *lines->FieldByName(QStringLiteral("number"));
        for (int row = 0; row < lines->RecordCount(); ++row) {
            const QString shown = lines->valueAt(row, number).toString();
            if (!shown.startsWith(mine))
                say(QStringLiteral("fault after %1 the order lines show %2, which another workstation typed")
                        .arg(after, shown));
        }
    }

    /// A customer of the order page's list, found by surname on the customer
    /// page and picked in both lists. Returns false when it could not be done.
    bool pickCustomer(int row) {
        TADOTable *orderCustomers = DataModule3->ADOTable3;
        if (orderCustomers->RecordCount() == 0) {
            say(QStringLiteral("fault the order page lists no customer"));
            return false;
        }
        const auto valueAt = [&](const QString &field) {
            return orderCustomers->valueAt(row, *orderCustomers->FieldByName(field));
        };
        m_customer = valueAt(QStringLiteral("idcust")).toLongLong();
        const QString surname = valueAt(QStringLiteral("Lmane")).toString().trimmed();

        Form2->PageControl1->setCurrentWidget(Form2->TabSheet1);
        Form2->LabeledEdit1->setText(surname);
        if (!press(QStringLiteral("search"), [] { click(Form2->BitBtn1); }).ok)
            return false;
        TADOQuery *found = DataModule3->ADOQuery1;
        const TField &number = *found->FieldByName(QStringLiteral("Номер"));
        int at = found->RecordCount() - 1;
        while (at >= 0 && found->valueAt(at, number).toLongLong() != m_customer)
            --at;
        if (at < 0) {
            say(QStringLiteral("fault customer %1 (%2) not found by its surname").arg(m_customer).arg(surname));
            return false;
        }
        // A click on the row in each grid; the order page's lines follow it.
        if (!press(QStringLiteral("pick"), [&] {
                 ErrorFunnel::guard([&] {
                     found->setRecNo(at);
                     Form2->PageControl1->setCurrentWidget(Form2->TabSheet2);
                     orderCustomers->setRecNo(row);
                 });
             }).ok)
            return false;
        checkOwnLines(QStringLiteral("a pick"));
        return true;
    }

    void addCar() {
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet1);
        Form4->GroupBox1->show();
        Form4->GroupBox2->hide();
        Form4->Show();
        const QString vin = QStringLiteral("VW%1-%2").arg(m_id).arg(++m_serial);
        Form4->LabeledEdit5->setText(QStringLiteral("Лада Гранта"));
        Form4->LabeledEdit6->setText(vin);
        Form4->LabeledEdit7->setText(QStringLiteral("1.6"));
        Form4->LabeledEdit8->setText(QStringLiteral("МКПП"));
        const Press done = press(QStringLiteral("car"), [] { click(Form4->BitBtn1); });
        if (done.ok)
            say(QStringLiteral("car %1 %2").arg(vin).arg(m_customer));
        Form4->Close();
    }

    /// Types one line and posts it, with the post button, or with Сумма
    /// заказа for the last line of an order. False when the line could not
    /// be confirmed.
    bool typeLine(int order, bool last, bool *totalShown) {
        TADOTable *lines = DataModule3->ADOTable2;
        const QString number = QStringLiteral("LOAD%1-%2").arg(m_id).arg(++m_serial);
        const int kol = between(1, 12);
        const double cena = between(1000, 900000) / 100.0;
        bool typed = false;
        ErrorFunnel::guard([&] {
            lines->Insert();
            lines->FieldByName(QStringLiteral("Firm"))->setAsString(QStringLiteral("Bosch"));
            lines->FieldByName(QStringLiteral("number"))->setAsString(number);
            lines->FieldByName(QStringLiteral("description"))->setAsString(QStringLiteral("Колодки тормозные"));
            lines->FieldByName(QStringLiteral("Kol"))->setAsString(QString::number(kol));
            lines->FieldByName(QStringLiteral("cena"))->setAsString(QString::number(cena, 'f', 2));
            typed = true;
        });
        if (!typed) {
            say(QStringLiteral("fault a new order line could not be typed: %1")
                    .arg(m_boxes.texts(QStringLiteral("error")).join(QStringLiteral(" | "))));
            m_boxes.clear();
            return false;
        }
        say(QStringLiteral("begin %1 %2 %3 %4 %5")
                .arg(order)
                .arg(number)
                .arg(m_customer)
                .arg(kol)
                .arg(cena, 0, 'f', 2));
        bool lostInsert = false;
        // Pressing again is only right while the typed line still waits in insert state.
        const auto stillTyped = [&](const QString &) {
            if (lines->State() == DataSetState::Insert &&
                lines->FieldByName(QStringLiteral("number"))->AsString() == number)
                return true;
            lostInsert = true;
            return false;
        };
        Press posted;
        if (last) {
            posted = press(
                QStringLiteral("total"), [] { click(Form2->BitBtn12); }, stillTyped);
            // The post inside Сумма заказа may have gone through while the
            // total could not be read: the line is stored, the total unknown.
            if (!posted.ok && lostInsert && lines->State() == DataSetState::Browse) {
                *totalShown = false;
                say(QStringLiteral("line %1 ok").arg(number));
                return true;
            }
            *totalShown = posted.ok;
        } else {
            QToolButton *post = Form2->DBNavigator3->button(NavigateBtn::nbPost);
            posted = press(
                QStringLiteral("post"), [post] { click(post); }, stillTyped);
        }
        if (posted.ok && lines->State() != DataSetState::Browse) {
            say(QStringLiteral("fault the post of %1 raised no box and left the line in state %2")
                    .arg(number)
                    .arg(int(lines->State())));
            posted.ok = false;
        }
        if (lostInsert)
            say(QStringLiteral("fault the typed line %1 left insert state after a failed post: %2")
                    .arg(number, posted.lastBox));
        say(QStringLiteral("line %1 %2").arg(number, posted.ok ? QStringLiteral("ok") : QStringLiteral("gave-up")));
        if (posted.ok && m_doublePost && m_serial % 5 == 0) {
            // A deliberately faulty user of the data module, for proving the
            // driver's checks: the same line once more, said to nobody.
            ErrorFunnel::guard([&] {
                lines->Insert();
                lines->FieldByName(QStringLiteral("number"))->setAsString(number);
                lines->FieldByName(QStringLiteral("Kol"))->setAsString(QString::number(kol));
                lines->FieldByName(QStringLiteral("cena"))->setAsString(QString::number(cena, 'f', 2));
                lines->Post();
            });
            m_boxes.clear();
        }
        return posted.ok;
    }

    void archiveCommands() {
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet3);
        QRadioButton *keys[] = {Form2->RadioButton6, Form2->RadioButton7, Form2->RadioButton8, Form2->RadioButton9};
        QRadioButton *key = keys[m_random.bounded(4)];
        press(QStringLiteral("sort"), [key] {
            // The key already chosen reacts to nothing: the direction box
            // clears the keys first, as a user turning the order round does.
            if (key->isChecked())
                click(Form2->CheckBox1);
            click(key);
        });
        const QDate today = QDate::currentDate();
        const QDate from = today.addDays(-between(0, 700));
        Form2->DateTimePicker1->setDate(from);
        Form2->DateTimePicker2->setDate(from.addDays(between(0, 120)));
        press(QStringLiteral("period"), [] { click(Form2->BitBtn16); });
    }

    /// Changes the second phone of a customer every workstation edits now
    /// and then; a refusal because another one changed it first is expected.
    void editContested() {
        const int row = int(m_random.bounded(std::min(3, DataModule3->ADOTable3->RecordCount())));
        if (!pickCustomer(row))
            return;
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet1);
        // The user takes a moment to type: long enough for another workstation
        // to change the same customer meanwhile.
        QThread::msleep(300);
        UiKit::retype(Form2->DBEdit4, QStringLiteral("7%1%2").arg(m_id, 2, 10, QLatin1Char('0')).arg(++m_serial));
        const Press done = press(
            QStringLiteral("edit"), [] { click(Form2->BitBtn4); }, [](const QString &box) { return !staleRow(box); });
        if (!done.ok)
            ErrorFunnel::guard([] { DataModule3->ADOQuery1->Cancel(); });
        m_boxes.clear();
    }

    void oneOrder() {
        const int order = ++m_orders;
        if (m_random.bounded(20) == 0)
            editContested();
        const int customers = DataModule3->ADOTable3->RecordCount();
        if (customers == 0 || !pickCustomer(int(m_random.bounded(customers))))
            return;
        if (m_random.bounded(10) == 0)
            addCar();
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet2);
        const int count = between(1, 8);
        bool totalShown = false;
        for (int i = 0; i < count; ++i)
            if (!typeLine(order, i == count - 1, &totalShown))
                break;
        checkOwnLines(QStringLiteral("the total"));
        if (totalShown) {
            TADOQuery *total = DataModule3->ADOQuery7;
            const QVariant value = total->RecordCount() > 0 ? total->valueAt(0, *total->Fields(0)) : QVariant();
            say(QStringLiteral("total %1 %2")
                    .arg(order)
                    .arg(value.isNull() ? QStringLiteral("null") : QString::number(value.toDouble(), 'f', 2)));
        } else {
            say(QStringLiteral("total %1 unknown").arg(order));
        }
        const Press moved = press(QStringLiteral("move"), [] { click(Form2->BitBtn10); });
        say(QStringLiteral("moved %1 %2").arg(order).arg(moved.ok ? QStringLiteral("ok") : QStringLiteral("gave-up")));
        archiveCommands();
    }

    int m_id;
    QRandomGenerator m_random;
    int m_seconds;
    QString m_stopFile;
    int m_thinkMs;
    bool m_doublePost;
    ScriptedMessages &m_boxes;
    QElapsedTimer m_clock;
    qint64 m_customer = 0;
    int m_serial = 0;
    int m_orders = 0;
};

} // namespace

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 6) {
        say(QStringLiteral("fault usage: ID SEED SECONDS DATABASE ALIAS_DIR [--think MS] [--double-post]"));
        return 2;
    }
    const int seconds = args.at(3).toInt();
    // Whatever happens to the driver, this process does not outlive it for long.
    alarm(unsigned(seconds) + 300);
    ScriptedMessagesGuard boxes;
    StoreSettings settings;
    settings.driver = QStringLiteral("QPSQL");
    settings.database = args.at(4);
    settings.aliasDir = args.at(5);
    // Each process is a counter of its own, as each PC of a shop is.
    settings.workstation = QStringLiteral("load-ws%1").arg(args.at(1));
    try {
        Startup::createAll(settings);
    } catch (const std::exception &error) {
        say(QStringLiteral("fault start-up failed: ") + QString::fromUtf8(error.what()));
        return 3;
    }
    Form2->show();
    QCoreApplication::processEvents();
    const QStringList startBoxes = boxes->texts(QStringLiteral("error")) + boxes->texts(QStringLiteral("fatal"));
    if (!startBoxes.isEmpty()) {
        say(QStringLiteral("fault start-up showed: ") + startBoxes.join(QStringLiteral(" | ")));
        Startup::destroyAll();
        return 3;
    }
    say(QStringLiteral("ready"));
    const qsizetype think = args.indexOf(QStringLiteral("--think"));
    Workstation(args.at(1).toInt(), args.at(2).toUInt(), seconds, QDir(args.at(5)).filePath(QStringLiteral("stop")),
                think > 0 ? args.value(think + 1).toInt() : 0, args.contains(QStringLiteral("--double-post")), *boxes)
        .run();
    Startup::destroyAll();
    rusage used{};
    ::getrusage(RUSAGE_SELF, &used);
    const qint64 cpuMs = (qint64(used.ru_utime.tv_sec) + used.ru_stime.tv_sec) * 1000 +
                         (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1000;
    say(QStringLiteral("end %1").arg(cpuMs));
    return 0;
}
