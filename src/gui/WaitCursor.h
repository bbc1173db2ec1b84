#pragma once
// Shows the wait cursor while a listing of many records is being opened or sorted.

#include <QApplication>
#include <QCursor>

namespace korvel {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace korvel
