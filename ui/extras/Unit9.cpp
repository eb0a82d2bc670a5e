#include "ui/extras/Unit9.h"
#include "platform/ErrorFunnel.h"
#include "platform/Exception.h"
#include "platform/ShopSite.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

TForm9 *Form9 = nullptr;

namespace {
const QString typedPrefix = QStringLiteral("http:\\\\");

/// Why the web engine cannot start in this process, or nothing. Run by root
/// with its sandbox on, the engine ends the whole program at its first page, so
/// that case is refused before the engine is touched.
QString engineProblem() {
#ifdef Q_OS_UNIX
    if (::geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
        qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
            .split(QLatin1Char(' '))
            .contains(QLatin1String("--no-sandbox")))
        return {};
    return QStringLiteral("Веб-браузер не запущен: программа работает от имени root, а песочница "
                          "веб-движка не отключена (QTWEBENGINE_DISABLE_SANDBOX=1)");
#else
    return {};
#endif
}

// The toolbar pictures, drawn on a 16 x 16 grid at any size.
void arrow(QPainter &p, bool left) {
    if (left) {
        p.translate(16, 0);
        p.scale(-1, 1);
    }
    QPainterPath head;
    head.moveTo(4, 2);
    head.lineTo(13, 8);
    head.lineTo(4, 14);
    head.lineTo(6.5, 8);
    head.closeSubpath();
    p.setPen(QPen(QColor(10, 40, 140), 0.8));
    p.setBrush(QColor(40, 90, 220));
    p.drawPath(head);
    p.setPen(QPen(QColor(220, 20, 20), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
}

void walker(QPainter &p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 220, 230));
    p.drawRect(QRectF(0.5, 0.5, 15, 7.5));
    p.setBrush(QColor(255, 230, 0));
    p.drawRect(QRectF(0.5, 8, 15, 7.5));
    p.setPen(QPen(QColor(60, 60, 60), 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 15, 15));
    p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(8.5, 3.2), 1.4, 1.4);
    p.drawLine(QPointF(8.2, 5.5), QPointF(7.2, 9.5));                             // body
    p.drawPolyline(QPolygonF({{4.8, 8.2}, {6.3, 6.2}, {8.2, 5.8}, {10.2, 7.8}})); // arms
    p.drawPolyline(QPolygonF({{7.2, 9.5}, {5.2, 11.8}, {4.2, 14}}));              // back leg
    p.drawPolyline(QPolygonF({{7.2, 9.5}, {9.6, 11.6}, {10.4, 14}}));             // front leg
}

QIcon picture(int index) {
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        if (index == 2)
            walker(p);
        else
            arrow(p, index == 0);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

bool isWeb(const QString &scheme) {
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

/// The view's page, held to the rule of `TForm9::mayNavigate`. Windows a page
/// asks for are not made (the engine's own answer to a null window).
class BrowserPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override {
        // An empty frame inside a page carries nothing from anywhere.
        if (!isMainFrame && url.scheme() == QLatin1String("about"))
            return true;
        const bool asked =
            type == NavigationTypeTyped || type == NavigationTypeBackForward || type == NavigationTypeReload;
        return TForm9::mayNavigate(url, asked);
    }
};

QToolButton *toolButton(QToolBar *bar, const QString &name, int index, const QString &hint) {
    auto *button = new QToolButton(bar);
    button->setObjectName(name);
    button->setIcon(picture(index));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setFixedSize(97, 33);
    bar->addWidget(button);
    return button;
}
} // namespace

TForm9::TForm9(QWidget *parent) : FormWindow(QStringLiteral("Form9"), QStringLiteral("Мини браузер"), parent) {
    setGeometry(247, 279, 870, 640);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(33);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    // The buttons stand edge to edge from the left, as designed.
    ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    m_layout->addWidget(ToolBar1);
    ToolButton1 = toolButton(ToolBar1, QStringLiteral("ToolButton1"), 0, QStringLiteral("Назад"));
    ToolButton2 = toolButton(ToolBar1, QStringLiteral("ToolButton2"), 1, QStringLiteral("Вперед"));
    ToolButton3 = toolButton(ToolBar1, QStringLiteral("ToolButton3"), 2, QStringLiteral("Открыть"));
    ErrorFunnel::connect(ToolButton1, &QToolButton::clicked, this, [this] { ToolButton1Click(); });
    ErrorFunnel::connect(ToolButton2, &QToolButton::clicked, this, [this] { ToolButton2Click(); });
    ErrorFunnel::connect(ToolButton3, &QToolButton::clicked, this, [this] { ToolButton3Click(); });

    // Lies over the toolbar's right part, outside its row of buttons.
    ComboBox1 = new QComboBox(ToolBar1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    // Enter in the box neither records the address nor opens it.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems({typedPrefix + QStringLiteral("www.exist.ru"), typedPrefix + QStringLiteral("www.zr.ru"),
                         typedPrefix + QStringLiteral("www.yandex.ru"), typedPrefix + ShopSite::address()});
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(typedPrefix);
    ComboBox1->setGeometry(296, 8, 313, ComboBox1->sizeHint().height());
    // What a screen reader says for the address field and its list.
    ComboBox1->setAccessibleName(QStringLiteral("Адрес"));
    ComboBox1->lineEdit()->setAccessibleName(QStringLiteral("Адрес"));
    ComboBox1->view()->setAccessibleName(QStringLiteral("Адреса"));

    m_layout->addStretch(1);
}

QUrl TForm9::browserAddress(const QString &typed) {
    static const QRegularExpression backslashForm(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:\\\\\\\\"));
    if (!backslashForm.match(typed).hasMatch())
        return QUrl(typed);
    // Only the location turns its backslashes into slashes: a query or a
    // fragment keeps what was typed.
    const qsizetype end = typed.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    QString address = typed;
    for (qsizetype i = 0; i < (end < 0 ? address.size() : end); ++i)
        if (address[i] == QLatin1Char('\\'))
            address[i] = QLatin1Char('/');
    return QUrl(address);
}

bool TForm9::mayNavigate(const QUrl &url, bool askedByTheUser) {
    if (isWeb(url.scheme()))
        return true;
    return askedByTheUser && url.isLocalFile();
}

void TForm9::setVisible(bool visible) {
    if (visible && !m_shownBefore) {
        m_shownBefore = true;
        ErrorFunnel::guard([this] { view(); });
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    FormWindow::setVisible(visible);
}

QWebEngineView &TForm9::view() {
    if (WebBrowser1)
        return *WebBrowser1;
    const QString problem = engineProblem();
    if (!problem.isEmpty())
        throw Exception(problem);
    delete m_layout->takeAt(1);
    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    auto *page = new BrowserPage(WebBrowser1);
    // A scheme the engine does not know is never handed to the desktop, and a
    // local page reads neither other files nor the web.
    page->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    WebBrowser1->setPage(page);
    m_layout->addWidget(WebBrowser1, 1);
    // Starting the page at once puts its drawing surface into the window before
    // the window is first made: one that comes later has the window made anew,
    // which forgets that it is maximised. The empty script loads nothing.
    WebBrowser1->page()->runJavaScript(QString());
    // A page the engine cannot show is its own business; an engine that
    // stops is ours to report.
    connect(WebBrowser1->page(), &QWebEnginePage::renderProcessTerminated, this,
            [](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                ErrorFunnel::report(Exception(
                    QStringLiteral("Веб-браузер остановился: процесс страницы завершился с кодом %1").arg(exitCode)));
            });
    return *WebBrowser1;
}

void TForm9::ToolButton1Click() { view().back(); }

void TForm9::ToolButton2Click() { view().forward(); }

void TForm9::ToolButton3Click() {
    const QUrl address = browserAddress(ComboBox1->currentText());
    // The box opens pages to read. Any other address would run what was typed:
    // a script in the page shown (javascript:), or another program that the
    // scheme is handed to (mailto: and the like).
    static const QStringList pages = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file")};
    const QString scheme = address.scheme();
    if (!scheme.isEmpty() && !pages.contains(scheme, Qt::CaseInsensitive))
        throw Exception(QStringLiteral("Адрес «%1:…» не открыт: мини браузер открывает только веб-страницы "
                                       "(http, https) и файлы (file)")
                            .arg(scheme));
    view().load(address);
}
