#pragma once
#include "platform/FormWindow.h"

class QComboBox;
class QToolBar;
class QToolButton;
class QUrl;
class QVBoxLayout;
class QWebEngineView;

/// The mini browser: Back, Forward and Open on a toolbar, an editable address
/// box and an embedded web view below. Only Open loads a page. Modeless; closing
/// hides it, so the page, its history and the typed address stay.
class TForm9 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm9(QWidget *parent = nullptr);

    QToolBar *ToolBar1;
    QToolButton *ToolButton1, *ToolButton2, *ToolButton3;
    QComboBox *ComboBox1;
    /// Made on the first showing, so the web engine starts only when it is used.
    QWebEngineView *WebBrowser1 = nullptr;

    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();

    /// The address the view loads for a typed one: the backslash form
    /// `http:\\host\path` reads as `http://host/path`; anything else as it stands.
    static QUrl browserAddress(const QString &typed);

    /// Whether the view may go to `url`. What the user asked for (an address
    /// opened from the box, Back, Forward, a reload) may be a web page or a
    /// local file; whatever a page starts by itself (a link, a form, a
    /// redirect, a script) may reach web pages only, so no page can hand an
    /// address to another program or open the machine's files.
    static bool mayNavigate(const QUrl &url, bool askedByTheUser);

    void setVisible(bool visible) override;

private:
    /// The view, made when first asked for; an error when the engine cannot start here.
    QWebEngineView &view();

    QVBoxLayout *m_layout;
    bool m_shownBefore = false;
};

extern TForm9 *Form9;
