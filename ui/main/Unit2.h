#pragma once
#include "platform/ErrorFunnel.h"
#include "platform/FormWindow.h"
#include "ui/splash/HandOver.h"

class BackgroundImage;
class LabeledEdit;
class PictureButton;
class QAction;
class QCalendarWidget;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QRadioButton;
class QTabWidget;
class TDBEdit;
class TDBGrid;
class TDBNavigator;
class TDataModule3;
class TRvDataSetConnection;
class TRvProject;

/// The main window: three pages under a menu bar, the floating calendar and the
/// exit button over every page. Closing it ends the program. Its views are bound
/// by name to the data module. Each page is built in a source file of its own.
/// The splash hands the program over to it.
class TForm2 : public FormWindow, public HandOver {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    /// Shown (maximised the first time, later in the state the user gave it),
    /// in front, active.
    void present() override;
    /// The calendar and both archive pickers.
    void setDates(const QDate &day) override;
    QWidget *handOverWindow() override { return this; }

    /// The administrator password, compared as exact text by both entry points.
    static QString adminPassword() { return QStringLiteral("742"); }
    /// Checks a typed password; a wrong one shows the failure message.
    static bool passwordAccepted(const QString &typed);
    /// The six changes of the customer page that open the lock.
    void unlock();
    /// Opens the lock when `typed` is the password; says why not otherwise.
    bool unlockWith(const QString &typed);
    /// Prints the work order: the order total read afresh, then the report
    /// run with the prepayment text as its parameter "opl". Errors reach the caller.
    void printWorkOrder();
    /// The folder the game items start their programs from; the build's unless set.
    const QString &gamesDir() const { return m_gamesDir; }
    void setGamesDir(const QString &dir) { m_gamesDir = dir; }

    // frame
    QWidget *Client;
    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QWidget *TabSheet3;
    QWidget *TabSheet2;
    BackgroundImage *Image1;
    BackgroundImage *Image2;
    BackgroundImage *Image3;
    QCalendarWidget *MonthCalendar1;
    PictureButton *BitBtn3;
    QMenuBar *MainMenu1;
    QMenu *PopupMenu1;
    QAction *N4, *N5, *N6, *N7, *N8, *N3, *N2, *N10, *N11, *N12;
    QAction *N1, *N9, *N13, *N21, *N31, *N41, *N51, *N61, *N71;
    QAction *N14, *N15, *N16, *N17, *N18;

    // customer page
    PictureButton *BitBtn5, *BitBtn6, *BitBtn7, *BitBtn1, *BitBtn2, *BitBtn4, *BitBtn8, *BitBtn9, *BitBtn11;
    LabeledEdit *LabeledEdit10;
    LabeledEdit *LabeledEdit1;
    TDBNavigator *DBNavigator1;
    TDBGrid *DBGrid1, *DBGrid3, *DBGrid4;
    QGroupBox *GroupBox4;
    QGroupBox *GroupBox1;
    QGroupBox *RadioGroup1;
    QRadioButton *RadioButton1, *RadioButton2, *RadioButton3;
    TDBEdit *DBEdit1, *DBEdit2, *DBEdit3, *DBEdit4, *DBEdit5, *DBEdit6, *DBEdit7, *DBEdit8;
    QLabel *Label1;

    // archive page
    TDBGrid *DBGrid2, *DBGrid7;
    TDBNavigator *DBNavigator2;
    QGroupBox *GroupBox3;
    QLabel *Label2, *Label3;
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    PictureButton *BitBtn16, *BitBtn17, *BitBtn13;
    QGroupBox *RadioGroup2;
    QCheckBox *CheckBox1;
    QRadioButton *RadioButton6, *RadioButton7, *RadioButton8, *RadioButton9;
    QPushButton *Button6;

    // order placement page
    TDBGrid *DBGrid5, *DBGrid6, *DBGrid8;
    TDBNavigator *DBNavigator3;
    PictureButton *BitBtn12, *BitBtn15, *BitBtn14, *BitBtn10;
    QLabel *Label14;
    QLineEdit *Edit1;

    // the work order: the report project and the rows it reads
    TRvProject *RvProject1;
    TRvDataSetConnection *RvDataSetConnection1, *RvDataSetConnection2, *RvDataSetConnection3, *RvDataSetConnection4;
    /// Binds the report's row sources to the data module's datasets by name.
    void bindDataModule(const TDataModule3 &module);

    // handlers: the frame and the menus
    void FormClose() override;
    void BitBtn3Click();
    void N8Click();
    void N3Click();
    void N10Click();
    void N11Click();
    void N14Click();
    void N15Click();
    void N16Click();
    void N17Click();
    void N18Click();
    void N1Click();
    void N9Click();
    void N13Click();
    void N21Click();
    void N31Click();
    void N41Click();
    void N51Click();
    void N61Click();
    void N71Click();
    void BitBtn13Click();

    // handlers: the customer page
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn9Click();
    void BitBtn11Click();

    // handlers: the archive page
    void RadioButton6Click();
    void RadioButton7Click();
    void RadioButton8Click();
    void RadioButton9Click();
    void CheckBox1Click();
    void BitBtn16Click();
    void BitBtn17Click();
    void Button6Click();

    // handlers: the order placement page
    void BitBtn12Click();
    void BitBtn10Click();
    void BitBtn15Click();
    void BitBtn14Click();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_gamesDir;

    void buildFrame();
    void buildMenus();
    void buildCustomerPage();
    void buildArchivePage();
    void buildOrderPage();
    void buildReport();
    /// The first control of the shown page takes the focus, unless one of the page has it.
    void focusFirstControl();
    /// The order-line grid back on the order lines, read afresh; the scratch statement empty.
    void restoreOrderLines();
    /// Re-reads the archive in the order the direction box picks.
    void sortArchive(const QString &descending, const QString &ascending);
    /// Connects a control's signal to a handler behind the error funnel.
    template <typename Sender, typename Signal> void wire(Sender *sender, Signal signal, void (TForm2::*handler)()) {
        ErrorFunnel::connect(sender, signal, this, [this, handler] { (this->*handler)(); });
    }
};

extern TForm2 *Form2;
