// The administrator lock through both entry points: the customer page's
// password field and the password window opened from either menu. A correct
// password makes the six changes for the rest of the run; anything else shows
// the failure message and changes nothing.
#include "app/DrevalonApplication.h"
#include "data/views/TDBGrid.h"
#include "platform/LabeledEdit.h"
#include "platform/PictureButton.h"
#include "tests/ui/UiKit.h"
#include "ui/dialogs/Unit4.h"
#include "ui/dialogs/Unit5.h"
#include "ui/dialogs/Unit8.h"

#include <QAction>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QStyle>
#include <QToolTip>

using namespace UiKit;

namespace {
const QString wrongPassword = QStringLiteral("Не правильный пароль! Повторите попытку!");

/// Which of the six controls are explicitly shown, in the order of the changes.
QList<bool> lockControls() {
    return {!Form2->GroupBox4->isHidden(), !Form2->BitBtn8->isHidden(),       !Form2->BitBtn9->isHidden(),
            !Form2->BitBtn11->isHidden(),  !Form2->LabeledEdit10->isHidden(), !Form2->BitBtn7->isHidden()};
}
const QList<bool> locked = {false, false, false, false, true, true};
const QList<bool> unlocked = {true, true, true, true, false, false};

/// Opens the password window through a menu item, types the text and presses
/// its OK. Returns whether the window was still open after the press.
bool enterInWindow(QAction *item, const QString &text, QString *typedBefore = nullptr) {
    bool stillOpen = true;
    const bool ran = whileModal(
        Form8, [item] { item->trigger(); },
        [&] {
            if (typedBefore)
                *typedBefore = Form8->LabeledEdit1->text();
            retype(Form8->LabeledEdit1, text);
            click(Form8->BitBtn1);
            stillOpen = Form8->isVisible();
        });
    if (!ran)
        QTest::qFail("the password window did not open modally", __FILE__, __LINE__);
    return stillOpen;
}
} // namespace

class TestLock : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session;
    ScriptedMessages &boxes() const { return *session->messages; }

private slots:
    void init() {
        session = std::make_unique<Session>();
        const qint64 owner =
            session->stores.addCustomer(QStringLiteral("Иван"), QStringLiteral("Иванов"), QStringLiteral("111"));
        session->stores.addCar(QStringLiteral("Нива"), QStringLiteral("XTA212140K0000002"), owner);
        session->start();
        QCOMPARE(lockControls(), locked);
    }

    void cleanup() {
        Startup::destroyAll();
        session.reset();
    }

    void pageFieldOpensTheLock() {
        type(Form2->LabeledEdit10, QStringLiteral("742"));
        click(Form2->BitBtn7);
        QCOMPARE(lockControls(), unlocked);
        QVERIFY(Form2->GroupBox4->isVisible());
        QVERIFY(Form2->BitBtn8->isVisible() && Form2->BitBtn9->isVisible() && Form2->BitBtn11->isVisible());
        QVERIFY(!Form2->LabeledEdit10->isVisible());
        QVERIFY(!Form2->LabeledEdit10->EditLabel()->isVisible()); // its caption goes with it
        QVERIFY(!Form2->BitBtn7->isVisible());
        QVERIFY(boxes().boxes().isEmpty());
        // Nothing else changes: no dataset was touched.
        QCOMPARE(DataModule3->ADOQuery1->State(), DataSetState::Browse);
        QCOMPARE(DataModule3->ADOQuery1->RecordCount(), 1);
    }

    void windowOpensTheLockAndCloses_data() {
        QTest::addColumn<QString>("item");
        QTest::newRow("main menu Ввести пароль") << "N8";
        QTest::newRow("context menu Ввести пароль") << "N14";
    }
    void windowOpensTheLockAndCloses() {
        QFETCH(QString, item);
        QAction *action = item == QLatin1String("N8") ? Form2->N8 : Form2->N14;
        QVERIFY(!enterInWindow(action, QStringLiteral("742")));
        QVERIFY(!Form8->isVisible());
        QCOMPARE(lockControls(), unlocked);
        QVERIFY(!Form2->LabeledEdit10->EditLabel()->isVisible());
        QVERIFY(boxes().boxes().isEmpty());
        // The window can be opened again; a correct password there changes nothing more.
        QString kept;
        QVERIFY(!enterInWindow(action, QStringLiteral("742"), &kept));
        QCOMPARE(kept, QStringLiteral("742")); // the window keeps what was typed into it
        QCOMPARE(lockControls(), unlocked);
    }

    void windowUnlocksThePageWhileAnotherPageIsShown() {
        // A run as it starts: the customer page has never been shown yet.
        Startup::destroyAll();
        session->start(false);
        QCOMPARE(Form2->PageControl1->currentWidget(), Form2->TabSheet2);
        QVERIFY(!enterInWindow(Form2->N8, QStringLiteral("742")));
        QCOMPARE(lockControls(), unlocked);
        Form2->PageControl1->setCurrentWidget(Form2->TabSheet1);
        QVERIFY(Form2->GroupBox4->isVisible());
        QVERIFY(Form2->BitBtn11->isVisible());
        QVERIFY(!Form2->LabeledEdit10->isVisible());
        QVERIFY(!Form2->BitBtn7->isVisible());
        QVERIFY2(!Form2->LabeledEdit10->EditLabel()->isVisible(),
                 "the caption of the hidden password field still shows");
    }

    void wrongPasswordChangesNothing_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("blank before") << " 742";
        QTest::newRow("blank after") << "742 ";
        QTest::newRow("too short") << "74";
        QTest::newRow("other digits") << "743";
    }
    void wrongPasswordChangesNothing() {
        QFETCH(QString, text);

        // On the page: the message once, the field keeps its text.
        retype(Form2->LabeledEdit10, text);
        click(Form2->BitBtn7);
        QCOMPARE(boxes().texts(QStringLiteral("information")), QStringList{wrongPassword});
        QCOMPARE(boxes().boxes().size(), 1);
        QCOMPARE(lockControls(), locked);
        QCOMPARE(Form2->LabeledEdit10->text(), text);

        // In the window: the same, and the window stays open for another try.
        boxes().clear();
        QVERIFY(enterInWindow(Form2->N8, text));
        QCOMPARE(boxes().texts(QStringLiteral("information")), QStringList{wrongPassword});
        QCOMPARE(boxes().boxes().size(), 1);
        QCOMPARE(lockControls(), locked);
        QCOMPARE(Form8->LabeledEdit1->text(), text);

        // A retry right after opens the lock.
        boxes().clear();
        retype(Form2->LabeledEdit10, QStringLiteral("742"));
        click(Form2->BitBtn7);
        QCOMPARE(lockControls(), unlocked);
        QVERIFY(boxes().boxes().isEmpty());
    }

    void wrongPasswordInTheOpenWindowCanBeRetried() {
        int messagesAfterFirst = -1;
        bool openAfterFirst = false;
        QVERIFY(whileModal(
            Form8, [] { Form2->N14->trigger(); },
            [&] {
                type(Form8->LabeledEdit1, QStringLiteral("7"));
                click(Form8->BitBtn1);
                messagesAfterFirst = boxes().boxes().size();
                openAfterFirst = Form8->isVisible();
                type(Form8->LabeledEdit1, QStringLiteral("42"));
                click(Form8->BitBtn1);
            }));
        QCOMPARE(messagesAfterFirst, 1);
        QVERIFY(openAfterFirst);
        QVERIFY(!Form8->isVisible());
        QCOMPARE(boxes().texts(QStringLiteral("information")), QStringList{wrongPassword});
        QCOMPARE(lockControls(), unlocked);
    }

    void keyboardAloneOpensTheLock() {
        // Type the password, Tab to OK, Enter: the button takes the key like a click.
        Form2->activateWindow();
        Form2->LabeledEdit10->setFocus();
        type(Form2->LabeledEdit10, QStringLiteral("742"));
        QTest::keyClick(Form2->BitBtn7, Qt::Key_Return);
        QCOMPARE(lockControls(), unlocked);
        QVERIFY(boxes().boxes().isEmpty());
        // The keypad's Enter on the window's button checks the password and closes the window.
        bool closedByEnter = false;
        QVERIFY(whileModal(
            Form8, [] { Form2->N8->trigger(); },
            [&] {
                type(Form8->LabeledEdit1, QStringLiteral("742"));
                QTest::keyClick(Form8->BitBtn1, Qt::Key_Enter, Qt::KeypadModifier);
                closedByEnter = !Form8->isVisible();
            }));
        QVERIFY(closedByEnter);
    }

    void passwordFieldsShowEveryCharacterAsFive() {
        for (LabeledEdit *edit : {Form2->LabeledEdit10, Form8->LabeledEdit1}) {
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit), int('5'));
            type(edit, QStringLiteral("7a2"));
            QCOMPARE(edit->text(), QStringLiteral("7a2"));
            QCOMPARE(edit->displayText(), QStringLiteral("555"));
            QCOMPARE(edit->EditLabel()->text(), QStringLiteral("Введите пароль"));
            QCOMPARE(edit->width(), 121);
        }
        // Only the password fields mask: the search field shows what is typed.
        type(Form2->LabeledEdit1, QStringLiteral("742"));
        QCOMPARE(Form2->LabeledEdit1->displayText(), QStringLiteral("742"));
    }

    void windowHintShowsOverTheWholeWindowAndClickingLeavesItOpen() {
        QCOMPARE(Form8->windowTitle(), QStringLiteral("Пароль"));
        QStringList hints;
        bool openAfterClick = false;
        QVERIFY(whileModal(
            Form8, [] { Form2->N8->trigger(); },
            [&] {
                QWidget *background = Form8->findChild<QWidget *>(QStringLiteral("Image1"));
                for (QWidget *over :
                     std::initializer_list<QWidget *>{background, Form8->LabeledEdit1, Form8->BitBtn1}) {
                    QToolTip::hideText();
                    const QPoint at = over->rect().center();
                    QHelpEvent help(QEvent::ToolTip, at, over->mapToGlobal(at));
                    QApplication::sendEvent(over, &help);
                    hints << (QToolTip::isVisible() ? QToolTip::text() : QString());
                }
                QToolTip::hideText();
                QTest::mouseClick(background, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
                QTest::mouseClick(background, Qt::LeftButton, Qt::NoModifier, QPoint(320, 125));
                openAfterClick = Form8->isVisible();
            }));
        QCOMPARE(hints, QStringList(3, QStringLiteral("Кликни для закрытия")));
        QVERIFY(openAfterClick);
        QCOMPARE(lockControls(), locked);
        QVERIFY(boxes().boxes().isEmpty());
    }

    void addAndDeleteMenuItemsWorkWhileLocked() {
        bool addInCustomerMode = false;
        QVERIFY(whileModal(
            Form4, [] { Form2->N5->trigger(); },
            [&] { addInCustomerMode = Form4->GroupBox2->isVisible() && !Form4->GroupBox1->isVisible(); }));
        QVERIFY(addInCustomerMode);
        QVERIFY(!Form4->isVisible());

        bool deleteCompact = false;
        QVERIFY(whileModal(
            Form5, [] { Form2->N6->trigger(); },
            [&] {
                deleteCompact = Form5->GroupBox1->isVisible();
                click(Form5->BitBtn1);
            }));
        QVERIFY(deleteCompact);
        QVERIFY(!Form5->isVisible());
        QCOMPARE(Form5->height(), 211); // put back into compact mode after closing
        QVERIFY(!Form5->GroupBox1->isHidden());
        QVERIFY(Form5->DBGrid1->isHidden());
        QCOMPARE(lockControls(), locked); // neither dialog touches the lock
    }
};

int main(int argc, char **argv) {
    DrevalonApplication app(argc, argv);
    TestLock test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_lock.moc"
