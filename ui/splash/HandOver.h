#pragma once
class QDate;
class QWidget;

/// What the splash hands the program over to at its last stage: a window that
/// shows itself in front of the others, and takes the day the run starts on.
/// The main window offers it, so the splash never needs the main window's own
/// header.
class HandOver {
public:
    virtual ~HandOver() = default;
    /// Shows the window and brings it to the front, ready for input.
    virtual void present() = 0;
    /// Sets every date the window keeps for the run to this day.
    virtual void setDates(const QDate &day) = 0;
    /// The window itself, which the splash belongs to while it is shown.
    virtual QWidget *handOverWindow() = 0;
};
