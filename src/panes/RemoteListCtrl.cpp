#include "panes/RemoteListCtrl.h"

#include <QHeaderView>

namespace tessaly {

namespace {

// Per column, a text as wide as most of what it shows.
constexpr const char16_t* kWidestTexts[kRemoteColumnCount] = {u"", u"9999999 KB", u"0000-00-00 00:00",
                                                              u"rwxrwxrwx ", u""};

} // namespace

CRemoteListCtrl::CRemoteListCtrl(QWidget* parent) : CLCCListCtrl(parent), model_(this) {
    SetUpColumns(model_, kRemoteNameColumn, kColumnWidths, kWidestTexts);
}

void CRemoteListCtrl::SetBusyCursor(bool busy) {
    if (busy) {
        header()->setCursor(Qt::WaitCursor);
    } else {
        header()->unsetCursor();
    }
}

} // namespace tessaly
