#pragma once
#include <QDateEdit>

/// A date field with a drop-down calendar that is one stop of the window's tab
/// order: Tab enters and leaves it whole, Left and Right move between its day,
/// month and year, Up and Down change the one selected, and Alt+Down or F4
/// opens the calendar.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    DatePicker(const QString &name, const QDate &date, QWidget *parent = nullptr);

    /// Opens the drop-down calendar, as a click on the arrow does.
    void showCalendar();

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void selectSection(int index);
};
