#pragma once
class QWidget;

/// The window a dialog or message box about to open belongs to: the window
/// whose handler is running. A modal window open means its handler runs;
/// else the active window; and just after a box has closed, when no window
/// is active yet, the window the previous box belonged to. Owned windows stay
/// above their owner, minimise with it and take no taskbar entry of their own.
namespace WindowOwner {
QWidget *current();
} // namespace WindowOwner
