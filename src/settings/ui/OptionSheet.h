#pragma once

#include "settings/SettingsStore.h"

#include <QDialog>
#include <vector>

class QLabel;
class QStackedWidget;
class QTreeWidget;

namespace tessaly {

class COptionPage;

// The options sheet: a tree of the six pages on the left, the chosen page on the right under a band
// with its caption, OK and Cancel. Every page shows the stored settings when the sheet opens. OK checks
// the pages in order and, at the first field that cannot be stored, shows its page, says why and stays
// open with nothing written; otherwise it writes every page's keys with one save, and a save that
// failed is told and keeps the sheet open. Cancel writes nothing.
class COptionSheet : public QDialog {
    Q_OBJECT
public:
    explicit COptionSheet(SettingsStore& settings, QWidget* parent = nullptr);

    int PageCount() const { return int(pages_.size()); }
    COptionPage& Page(int index) const { return *pages_[std::size_t(index)]; }
    // The page with this caption, or nullptr.
    COptionPage* FindPage(const QString& caption) const;
    // Shows the page as choosing its tree item does.
    void SelectPage(int index);
    int CurrentPage() const;

    QTreeWidget& Tree() const { return *tree_; }
    QLabel& CaptionBand() const { return *caption_; }

    void accept() override;

private:
    void ShowPage(int index);

    SettingsStore& settings_;
    std::vector<COptionPage*> pages_;
    QTreeWidget* tree_;
    QLabel* caption_;
    QStackedWidget* stack_;
};

} // namespace tessaly
