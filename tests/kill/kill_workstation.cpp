// A workstation that never stops writing: the program's own windows and data
// module over the stores named on the command line, doing a shop's day in an
// order drawn from a seed, until it is killed. Each write is announced before
// it starts ("begin ...") and acknowledged once it has returned ("done ..."),
// so whoever kills this process knows what was confirmed and what was under
// way. Any error box or error ends the process with "error ..." instead.
//
//   drevalon-kill-workstation SEED ROUND DATABASE ALIAS_DIR TOOL TOOL_DATABASE TOOL_ALIAS_DIR
#include "app/DrevalonApplication.h"
#include "data/datasets/StoreTransaction.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/kill/KillPlan.h"
#include "tests/support/SayLine.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit4.h"
#include "ui/dialogs/Unit5.h"

#include <QGroupBox>
#include <QProcess>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

using UiKit::click;

namespace {

void say(const QString &line) { sayLine(line); }

[[noreturn]] void giveUp(const QString &what) {
    say(QStringLiteral("error ") + QString(what).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    _exit(3);
}

class Workstation {
public:
    Workstation(const QStringList &args, ScriptedMessages &boxes)
        : m_random(args.at(1).toUInt()), m_round(args.at(2).toInt()), m_tool(args.at(5)), m_toolDatabase(args.at(6)),
          m_toolAlias(args.at(7)), m_boxes(boxes) {}

    void step() {
        try {
            // Some rounds begin with the store tool, so that its runs are cut
            // at every stage, the last renames included.
            const int pick = m_steps++ == 0 && m_random.bounded(6) == 0 ? 99 : int(m_random.bounded(100));
            if (pick < 30)
                postLines();
            else if (pick < 48)
                editLine();
            else if (pick < 64)
                fillAndMove();
            else if (pick < 80)
                addCustomerWithCar();
            else if (pick < 94)
                deleteCustomerWithCars();
            else
                loadStores();
        } catch (const std::exception &error) {
            giveUp(QString::fromUtf8(error.what()));
        }
        const QStringList errors = m_boxes.texts(QStringLiteral("error")) + m_boxes.texts(QStringLiteral("fatal"));
        if (!errors.isEmpty())
            giveUp(errors.join(QStringLiteral(" | ")));
        m_boxes.clear();
        QCoreApplication::processEvents();
    }

private:
    QString nextNumber() { return QStringLiteral("K%1-%2").arg(m_round).arg(++m_serial); }
    int between(int low, int high) { return int(m_random.bounded(low, high + 1)); }

    /// A customer of the order page's list, as the user picks one there.
    qint64 pickOrderCustomer() {
        TADOTable *customers = DataModule3->ADOTable3;
        if (m_customersChanged) {
            customers->Close();
            customers->Open();
            m_customersChanged = false;
        }
        if (customers->RecordCount() == 0)
            giveUp(QStringLiteral("the order page lists no customer"));
        customers->setRecNo(int(m_random.bounded(customers->RecordCount())));
        return customers->FieldByName(QStringLiteral("idcust"))->AsInteger();
    }

    void postLines() {
        const qint64 owner = pickOrderCustomer();
        TADOTable *lines = DataModule3->ADOTable2;
        const int count = between(1, 3);
        for (int i = 0; i < count; ++i) {
            const QString number = nextNumber();
            const int kol = between(1, 20);
            lines->Insert();
            lines->FieldByName(QStringLiteral("Firm"))->setAsString(QStringLiteral("Mahle"));
            lines->FieldByName(QStringLiteral("number"))->setAsString(number);
            lines->FieldByName(QStringLiteral("description"))->setAsString(QStringLiteral("Фильтр масляный"));
            lines->FieldByName(QStringLiteral("Kol"))->setAsString(QString::number(kol));
            lines->FieldByName(QStringLiteral("cena"))->setAsString(QStringLiteral("450.5"));
            say(QStringLiteral("begin post %1 %2 %3").arg(number).arg(owner).arg(kol));
            lines->Post();
            say(QStringLiteral("done post ") + number);
        }
    }

    void editLine() {
        // The lines shown are the selected customer's; a customer without any
        // is passed over for another.
        TADOTable *lines = DataModule3->ADOTable2;
        for (int tries = 0; tries < 5 && (m_customersChanged || lines->RecordCount() == 0); ++tries)
            pickOrderCustomer();
        if (lines->RecordCount() == 0) {
            postLines();
            return;
        }
        lines->setRecNo(int(m_random.bounded(lines->RecordCount())));
        const QString number = lines->FieldByName(QStringLiteral("number"))->AsString();
        const int kol = lines->FieldByName(QStringLiteral("Kol"))->AsInteger() % 20 + 1;
        lines->Edit();
        lines->FieldByName(QStringLiteral("Kol"))->setAsString(QString::number(kol));
        say(QStringLiteral("begin edit %1 %2").arg(number).arg(kol));
        lines->Post();
        say(QStringLiteral("done edit ") + number);
    }

    /// A few hundred of this workstation's lines arrive at once, then the whole
    /// order goes to the archive.
    void fillAndMove() {
        const qint64 owner = pickOrderCustomer();
        const QString prefix = nextNumber();
        const int count = between(150, 350);
        TADOConnection &store = *DataModule3->ADOConnection1;
        say(QStringLiteral("begin fill %1 %2 %3").arg(prefix).arg(count).arg(owner));
        {
            StoreTransaction transaction(store);
            for (int i = 1; i <= count; ++i)
                store.run(QStringLiteral("insert into orderNow(idcust, Firm, number, description, kol, cena, station) "
                                         "values (?, ?, ?, ?, ?, ?, ?)"),
                          {owner, QStringLiteral("NGK"), QStringLiteral("%1/%2").arg(prefix).arg(i),
                           QStringLiteral("Свеча зажигания"), 4, 320.25, DataModule3->workstation()});
            transaction.commit();
        }
        say(QStringLiteral("done fill ") + prefix);
        say(QStringLiteral("begin move"));
        click(Form2->BitBtn10);
        say(QStringLiteral("done move"));
    }

    void addCustomerWithCar() {
        const QString surname = QStringLiteral("S") + nextNumber();
        Form4->GroupBox1->hide();
        Form4->GroupBox2->show();
        Form4->Show();
        Form4->LabeledEdit1->setText(QStringLiteral("Иван"));
        Form4->LabeledEdit2->setText(surname);
        Form4->LabeledEdit3->setText(QStringLiteral("8926%1").arg(between(0, 9999999), 7, 10, QLatin1Char('0')));
        Form4->LabeledEdit4->setText(QString());
        say(QStringLiteral("begin add ") + surname);
        click(Form4->BitBtn2);
        TADOQuery *list = DataModule3->ADOQuery1;
        const TField &surnames = *list->FieldByName(QStringLiteral("Фамилия"));
        int row = list->RecordCount() - 1;
        while (row >= 0 && list->valueAt(row, surnames).toString().trimmed() != surname)
            --row;
        if (row < 0)
            giveUp(QStringLiteral("the added customer %1 is not in the list").arg(surname));
        list->setRecNo(row);
        const qint64 id = list->FieldByName(QStringLiteral("Номер"))->AsInteger();
        say(QStringLiteral("done add %1 %2").arg(surname).arg(id));
        m_customersChanged = true;

        // The customer's car, with the customer selected in the dialog's list.
        const QString vin = QStringLiteral("V") + nextNumber();
        Form4->LabeledEdit5->setText(QStringLiteral("Лада Веста"));
        Form4->LabeledEdit6->setText(vin);
        Form4->LabeledEdit7->setText(QStringLiteral("1.6"));
        Form4->LabeledEdit8->setText(QStringLiteral("МКПП"));
        say(QStringLiteral("begin car %1 %2").arg(vin).arg(id));
        click(Form4->BitBtn1);
        say(QStringLiteral("done car ") + vin);
    }

    void deleteCustomerWithCars() {
        TADOQuery *list = DataModule3->ADOQuery1;
        list->Close();
        list->Open();
        if (list->RecordCount() <= 3) {
            addCustomerWithCar();
            return;
        }
        Form5->Show();
        click(Form5->BitBtn1);
        list->setRecNo(int(m_random.bounded(list->RecordCount())));
        const qint64 id = list->FieldByName(QStringLiteral("Номер"))->AsInteger();
        say(QStringLiteral("begin delete %1").arg(id));
        click(Form5->BitBtn3);
        say(QStringLiteral("done delete %1").arg(id));
        Form5->Close();
        Form5->restoreCompactMode();
        m_customersChanged = true;
    }

    /// The store tool replaces its own pair of stores with a demo set.
    void loadStores() {
        const KillPlan::Load &load = KillPlan::loads[m_random.bounded(KillPlan::loadCount)];
        QProcess tool;
        tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        say(QStringLiteral("begin tool %1 %2").arg(load.customers).arg(load.archive));
        tool.start(m_tool, {QStringLiteral("--customers"), QString::number(load.customers), QStringLiteral("--archive"),
                            QString::number(load.archive), QStringLiteral("--force"), QStringLiteral("--database"),
                            m_toolDatabase, QStringLiteral("--alias-dir"), m_toolAlias});
        if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            giveUp(QStringLiteral("the store tool failed: %1").arg(tool.exitCode()));
        say(QStringLiteral("done tool %1 %2").arg(load.customers).arg(load.archive));
    }

    QRandomGenerator m_random;
    int m_round;
    int m_serial = 0;
    int m_steps = 0;
    bool m_customersChanged = false;
    QString m_tool, m_toolDatabase, m_toolAlias;
    ScriptedMessages &m_boxes;
};

} // namespace

int main(int argc, char **argv) {
    // Whatever happens to the driver, this process does not outlive it for long.
    alarm(300);
    DrevalonApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 8) {
        say(QStringLiteral("error usage: SEED ROUND DATABASE ALIAS_DIR TOOL TOOL_DATABASE TOOL_ALIAS_DIR"));
        return 2;
    }
    ScriptedMessagesGuard boxes;
    StoreSettings settings;
    settings.driver = QStringLiteral("QSQLITE");
    settings.database = args.at(3);
    settings.aliasDir = args.at(4);
    try {
        Startup::createAll(settings);
    } catch (const std::exception &error) {
        giveUp(QString::fromUtf8(error.what()));
    }
    Form2->show();
    QCoreApplication::processEvents();
    if (!boxes->texts(QStringLiteral("error")).isEmpty())
        giveUp(boxes->texts(QStringLiteral("error")).join(QStringLiteral(" | ")));
    Workstation workstation(args, *boxes);
    say(QStringLiteral("ready"));
    for (;;)
        workstation.step();
}
