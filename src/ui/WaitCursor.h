#pragma once

#include <QApplication>

namespace tessaly {

// The application's wait cursor, set and restored in balance: Set(true) twice puts one override
// cursor on the stack, Set(false) takes it off again, and the destructor takes it off if it is still
// there.
class WaitCursor {
public:
    WaitCursor() = default;
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { Set(false); }

    void Set(bool waiting) {
        if (waiting == held_) {
            return;
        }
        held_ = waiting;
        if (waiting) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    }
    bool IsSet() const { return held_; }

private:
    bool held_ = false;
};

} // namespace tessaly
