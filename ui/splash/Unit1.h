#pragma once
#include "platform/FormWindow.h"

class HandOver;
class QLabel;
class QProgressBar;
class QTimer;

/// The splash window and the application's main form: closing it, by whatever
/// path, ends the program. Every activation plays the five-stage progress run,
/// whose last stage shows the main window, dates it today and hides the splash.
class TForm1 : public FormWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *Label1;
    QProgressBar *ProgressBar1;
    QTimer *Timer1;

    /// The window the last stage shows and dates (the main window); while it
    /// is shown, the splash belongs to it.
    void setHandOver(HandOver *target) { m_target = target; }

    void FormActivate() override;
    void Timer1Timer();

    /// 0 until the first activation, then 1 to 5.
    double stage() const { return m_stage; }
    /// The bar's position; a position outside 0..100 is stored as the nearest bound.
    int position() const;
    void setPosition(int value);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool advance(int step, int threshold);
    void setStatus(const QString &text);
    void handOver();

    double m_stage = 0;
    HandOver *m_target = nullptr;
};

extern TForm1 *Form1;
