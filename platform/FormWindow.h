#pragma once
#include <QWidget>

class QEventLoop;

/// A top-level window of the program: created once, then only shown and
/// hidden. Closing hides it (after its close handler); a modal showing runs a
/// nested loop that returns when the window hides, every other window disabled.
class FormWindow : public QWidget {
    Q_OBJECT
public:
    /// A window with a parent is owned by it: a dialog that stays above it,
    /// minimises with it and takes no taskbar entry of its own.
    explicit FormWindow(const QString &name, const QString &caption, QWidget *parent = nullptr);

    void Show();
    /// Shows the window modally; returns when it is hidden or closed.
    void ShowModal();
    void Hide() { hide(); }
    /// Runs the close handler and hides the window (ends a modal showing).
    void Close() { close(); }
    bool showingModal() const { return m_modalLoop != nullptr; }
    /// When this window was created among the program's objects.
    int creationSerial() const { return m_creationSerial; }

protected:
    /// The window's close handler; the window hides afterwards.
    virtual void FormClose() {}
    /// The window became the active window.
    virtual void FormActivate() {}
    /// The window is about to be shown.
    virtual void FormShow() {}
    /// A window of one size: neither the user nor the window manager resizes
    /// or maximises it.
    void fixSize(int width, int height);

    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QEventLoop *m_modalLoop = nullptr;
    int m_creationSerial;
};
