#include "data/views/TDBNavigator.h"
#include "data/datasets/TDataSet.h"
#include "data/views/ViewBinding.h"
#include "platform/ErrorFunnel.h"
#include "platform/MessageBoxes.h"

#include <QEvent>
#include <QToolButton>

namespace {
const std::array<NavigateBtn, 10> allKinds = {
    NavigateBtn::nbFirst,  NavigateBtn::nbPrior, NavigateBtn::nbNext, NavigateBtn::nbLast,   NavigateBtn::nbInsert,
    NavigateBtn::nbDelete, NavigateBtn::nbEdit,  NavigateBtn::nbPost, NavigateBtn::nbCancel, NavigateBtn::nbRefresh};
}

QString TDBNavigator::hintOf(NavigateBtn kind) {
    switch (kind) {
    case NavigateBtn::nbFirst: return QStringLiteral("First record");
    case NavigateBtn::nbPrior: return QStringLiteral("Prior record");
    case NavigateBtn::nbNext: return QStringLiteral("Next record");
    case NavigateBtn::nbLast: return QStringLiteral("Last record");
    case NavigateBtn::nbInsert: return QStringLiteral("Insert record");
    case NavigateBtn::nbDelete: return QStringLiteral("Delete record");
    case NavigateBtn::nbEdit: return QStringLiteral("Edit record");
    case NavigateBtn::nbPost: return QStringLiteral("Post edit");
    case NavigateBtn::nbCancel: return QStringLiteral("Cancel edit");
    case NavigateBtn::nbRefresh: return QStringLiteral("Refresh data");
    }
    return QString();
}

namespace {
// What a screen reader says for a button: the program speaks Russian, while
// the buttons' designed hints are English and never shown.
QString spokenName(NavigateBtn kind) {
    switch (kind) {
    case NavigateBtn::nbFirst: return QStringLiteral("Первая запись");
    case NavigateBtn::nbPrior: return QStringLiteral("Предыдущая запись");
    case NavigateBtn::nbNext: return QStringLiteral("Следующая запись");
    case NavigateBtn::nbLast: return QStringLiteral("Последняя запись");
    case NavigateBtn::nbInsert: return QStringLiteral("Добавить запись");
    case NavigateBtn::nbDelete: return QStringLiteral("Удалить запись");
    case NavigateBtn::nbEdit: return QStringLiteral("Изменить запись");
    case NavigateBtn::nbPost: return QStringLiteral("Сохранить изменения");
    case NavigateBtn::nbCancel: return QStringLiteral("Отменить изменения");
    case NavigateBtn::nbRefresh: return QStringLiteral("Обновить данные");
    }
    return QString();
}
} // namespace

TDBNavigator::TDBNavigator(const QString &name, QWidget *parent) : QWidget(parent) {
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    for (NavigateBtn kind : allKinds) {
        auto *b = new QToolButton(this);
        b->setObjectName(name + QStringLiteral("_") + QString::number(static_cast<int>(kind)));
        b->setIcon(navigatorIcon(kind));
        b->setFocusPolicy(Qt::NoFocus);
        // The hint is carried, not shown: no tooltips on the navigators.
        b->setProperty("hint", hintOf(kind));
        b->setAccessibleName(spokenName(kind));
        if (kind == NavigateBtn::nbPrior || kind == NavigateBtn::nbNext) {
            b->setAutoRepeat(true);
            b->setAutoRepeatDelay(400);
            b->setAutoRepeatInterval(100);
        }
        connect(b, &QToolButton::clicked, this, [this, kind] { clicked(kind); });
        m_buttons[static_cast<int>(kind)] = b;
    }
    setVisibleButtons(QList<NavigateBtn>(allKinds.begin(), allKinds.end()));
}

TDBNavigator::~TDBNavigator() { ViewBinding::cancel(&m_link); }

void TDBNavigator::setDataSourceName(const QString &name) { ViewBinding::request(&m_link, name); }

void TDBNavigator::setVisibleButtons(const QList<NavigateBtn> &kinds) {
    m_visible.clear();
    for (NavigateBtn kind : allKinds) // the fixed order, whatever order was given
        if (kinds.contains(kind))
            m_visible.append(kind);
    for (NavigateBtn kind : allKinds)
        button(kind)->setVisible(m_visible.contains(kind));
    layoutButtons();
    updateButtons();
}

void TDBNavigator::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutButtons();
}

void TDBNavigator::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateButtons();
}

void TDBNavigator::layoutButtons() {
    if (m_visible.isEmpty())
        return;
    const int w = width() / m_visible.size();
    for (int i = 0; i < m_visible.size(); ++i)
        button(m_visible[i])->setGeometry(i * w, 0, w, height());
    const int side = qMax(8, qMin(w, height()) - 8);
    for (QToolButton *b : m_buttons)
        b->setIconSize(QSize(side, side));
}

void TDBNavigator::updateButtons() {
    TDataSet *ds = m_link.DataSet();
    const bool active = ds && ds->Active() && isEnabled();
    const bool canModify = active && ds->CanModify();
    const bool editing = active && ds->editing();
    auto set = [this](NavigateBtn kind, bool on) { button(kind)->setEnabled(on); };
    set(NavigateBtn::nbFirst, active && !ds->Bof());
    set(NavigateBtn::nbPrior, active && !ds->Bof());
    set(NavigateBtn::nbNext, active && !ds->Eof());
    set(NavigateBtn::nbLast, active && !ds->Eof());
    set(NavigateBtn::nbInsert, canModify);
    set(NavigateBtn::nbDelete, canModify && !ds->IsEmpty());
    set(NavigateBtn::nbEdit, canModify && !editing);
    set(NavigateBtn::nbPost, canModify && editing);
    set(NavigateBtn::nbCancel, canModify && editing);
    set(NavigateBtn::nbRefresh, canModify);
}

void TDBNavigator::clicked(NavigateBtn kind) {
    try {
        ActivateButton(kind);
    } catch (const std::exception &error) {
        button(kind)->setDown(false); // an error stops a held button's repeat
        ErrorFunnel::report(error);
    }
}

void TDBNavigator::ActivateButton(NavigateBtn kind) {
    TDataSet *ds = m_link.DataSet();
    if (!ds || !ds->Active())
        return;
    switch (kind) {
    case NavigateBtn::nbFirst: ds->First(); break;
    case NavigateBtn::nbPrior: ds->Prior(); break;
    case NavigateBtn::nbNext: ds->Next(); break;
    case NavigateBtn::nbLast: ds->Last(); break;
    case NavigateBtn::nbInsert: ds->Insert(); break;
    case NavigateBtn::nbDelete:
        if (m_confirmDelete && !Messages::confirmDelete())
            return;
        ds->Delete();
        break;
    case NavigateBtn::nbEdit: ds->Edit(); break;
    case NavigateBtn::nbPost: ds->Post(); break;
    case NavigateBtn::nbCancel: ds->Cancel(); break;
    case NavigateBtn::nbRefresh: ds->Refresh(); break;
    }
}
