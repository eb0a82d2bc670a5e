#pragma once
#include "data/datasets/TDataLink.h"
#include "data/views/NavigatorIcons.h"

#include <QSet>
#include <QWidget>
#include <array>

class QToolButton;

/// The bar of picture buttons that moves through a dataset and starts, posts,
/// cancels, refreshes and deletes rows. Visible buttons keep their fixed order
/// and share the width equally. ActivateButton performs any kind's action as a
/// click does, visible or not.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(const QString &name, QWidget *parent = nullptr);
    ~TDBNavigator() override;

    void setDataSourceName(const QString &name);
    void setDataSource(TDataSource *source) { m_link.setDataSource(source); }
    TDataSource *DataSource() const { return m_link.DataSource(); }
    QList<NavigateBtn> VisibleButtons() const { return m_visible; }
    void setVisibleButtons(const QList<NavigateBtn> &kinds);
    bool ConfirmDelete() const { return m_confirmDelete; }
    void setConfirmDelete(bool on) { m_confirmDelete = on; }

    /// Performs the kind's action; errors reach the caller. Does nothing when
    /// there is no data source or its dataset is closed.
    void ActivateButton(NavigateBtn kind);
    QToolButton *button(NavigateBtn kind) const { return m_buttons[static_cast<int>(kind)]; }
    static QString hintOf(NavigateBtn kind);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    class Link : public TDataLink {
    public:
        explicit Link(TDBNavigator *owner) : m_owner(owner) {}

    protected:
        void activeChanged() override { m_owner->updateButtons(); }
        void dataSetChanged() override { m_owner->updateButtons(); }
        void scrolled() override { m_owner->updateButtons(); }
        void stateChanged() override { m_owner->updateButtons(); }

    private:
        TDBNavigator *m_owner;
    };

    void updateButtons();
    void layoutButtons();
    void clicked(NavigateBtn kind);

    Link m_link{this};
    std::array<QToolButton *, 10> m_buttons{};
    QList<NavigateBtn> m_visible;
    bool m_confirmDelete = true;
};
