#pragma once
#include <functional>

/// A statement that finds its store locked by another program waits for it a
/// while before it fails. On the program's main thread the user is shown that
/// it waits (whoever listens puts up the hourglass), and once one wait of a
/// command has run out, the rest of that command fails at once instead of
/// freezing the window again: one wait per command, then the error box.
class StoreWait {
public:
    /// Hears every wait that begins on the main thread. The listener also
    /// marks the end of the command (`commandOver`), when the program is back
    /// in its event loop; without a listener every statement waits in full.
    static void setListener(std::function<void()> waiting);
    static void commandOver();

    /// For the stores: whether a statement of the main thread that found the
    /// store locked may wait (the listener hears it), and that its wait ran out.
    static bool mayWait();
    static void ranOut();
};
