#pragma once
#include "platform/FormWindow.h"

class QLabel;

/// The help and author window: a banner over either the help lines (the shop's
/// site link and two lines about the program) or the author lines. Whoever
/// opens it sets the caption and all seven label visibilities first; the link
/// hands the shop's address to the shell and leaves the window open.
class TForm7 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;

    void Label2Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

extern TForm7 *Form7;
