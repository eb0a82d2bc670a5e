#include "ui/dialogs/Unit7.h"
#include "platform/ErrorFunnel.h"
#include "platform/Shell.h"
#include "platform/ShopSite.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

TForm7 *Form7 = nullptr;

static QPixmap bannerPicture() {
    // The pictures live in a static library: register them before first use.
    Q_INIT_RESOURCE(resources);
    return QPixmap(QStringLiteral(":/pictures/banner.png"));
}

namespace {
QLabel *label(QWidget *parent, const QString &name, const QPoint &place, const QString &text) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(place);
    label->adjustSize();
    return label;
}
} // namespace

TForm7::TForm7(QWidget *parent) : FormWindow(QStringLiteral("Form7"), QStringLiteral("Справка"), parent) {
    fixSize(681, 265);
    move(375, 338);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);

    // Larger than the window: its top rows and right columns are cut off.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, -16, 689, 169);
    Image1->setScaledContents(true);
    Image1->setPixmap(bannerPicture());

    Label1 = label(this, QStringLiteral("Label1"), {48, 176}, QStringLiteral("Ссылка на сайт  фирмы:"));
    // Placed for a narrower font: the link keeps clear of its caption.
    Label2 =
        label(this, QStringLiteral("Label2"), {qMax(184, Label1->geometry().right() + 5), 176}, ShopSite::address());
    QPalette link = Label2->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Highlight));
    Label2->setPalette(link);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setToolTip(QStringLiteral("Открыть сайт"));
    Label2->installEventFilter(this);
    Label3 = label(this, QStringLiteral("Label3"), {48, 200},
                   QStringLiteral("Программа написана в среде Qt %1 (C++) специально для фирмы "
                                  "«Древалон», г. Вологда")
                       .arg(QStringLiteral(QT_VERSION_STR)));
    Label4 = label(this, QStringLiteral("Label4"), {48, 216},
                   QStringLiteral("Версия программы %1, сборка от %2")
                       .arg(QString::fromUtf8(DrevalonBuild::version), QString::fromUtf8(DrevalonBuild::buildDate)));
    Label5 = label(this, QStringLiteral("Label5"), {48, 176}, QStringLiteral("Программу написал: Соколов Андрей"));
    Label6 = label(this, QStringLiteral("Label6"), {48, 192},
                   QStringLiteral("студент факультета информационных технологий ВоГУ, "
                                  "специальность 230105"));
    Label7 = label(this, QStringLiteral("Label7"), {48, 208}, QStringLiteral("Лето 2011"));
    // The author lines as designed; every opening sets all seven anyway.
    for (QLabel *help : {Label1, Label2, Label3, Label4})
        help->hide();
}

void TForm7::Label2Click() { Shell::openUrl(Label2->text()); }

bool TForm7::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && Label2->rect().contains(mouse->position().toPoint()))
            ErrorFunnel::guard([this] { Label2Click(); });
    }
    return FormWindow::eventFilter(watched, event);
}
