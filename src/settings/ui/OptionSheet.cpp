#include "settings/ui/OptionSheet.h"

#include "settings/ui/AdvancePage.h"
#include "settings/ui/ConnectionPages.h"
#include "settings/ui/GeneralPage.h"
#include "settings/ui/PromptMiscPages.h"
#include "ui/MessageBoxes.h"

#include <QAbstractSpinBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

COptionSheet::COptionSheet(SettingsStore& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), tree_(new QTreeWidget(this)), caption_(new QLabel(this)),
      stack_(new QStackedWidget(this)) {
    setWindowTitle(u"Tessaly Client"_s);
    setObjectName(u"OptionSheet"_s);
    pages_ = {new CGeneralPage, new CAdvanceProp, new CSocksProp,
              new CProxyProp,   new CPromptProp,  new CMiscProp};

    tree_->setObjectName(u"OptionTree"_s);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setMaximumWidth(150);
    for (COptionPage* page : pages_) {
        page->Load(settings_);
        stack_->addWidget(page); // the stack owns the page
        auto* item = new QTreeWidgetItem(tree_, {page->Caption()});
        item->setExpanded(true);
    }

    // The caption band: the chosen page's caption, large, on the buttons' colour.
    caption_->setObjectName(u"CaptionBand"_s);
    QFont font(u"Sans Serif"_s);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(14);
    caption_->setFont(font);
    caption_->setAutoFillBackground(true);
    caption_->setBackgroundRole(QPalette::Button);
    caption_->setForegroundRole(QPalette::ButtonText);
    caption_->setContentsMargins(6, 3, 6, 3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionSheet::reject);

    auto* pageArea = new QVBoxLayout;
    pageArea->addWidget(caption_);
    pageArea->addWidget(stack_, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(tree_);
    top->addLayout(pageArea, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);

    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current != nullptr) {
            ShowPage(tree_->indexOfTopLevelItem(current));
        }
    });
    tree_->setCurrentItem(tree_->topLevelItem(0));
    resize(760, 500);
}

COptionPage* COptionSheet::FindPage(const QString& caption) const {
    for (COptionPage* page : pages_) {
        if (page->Caption() == caption) {
            return page;
        }
    }
    return nullptr;
}

void COptionSheet::ShowPage(int index) {
    stack_->setCurrentIndex(index);
    caption_->setText(pages_[std::size_t(index)]->Caption());
}

void COptionSheet::SelectPage(int index) {
    // The tree keeps the keyboard while the user walks it; a page chosen from here takes the focus.
    tree_->setCurrentItem(tree_->topLevelItem(index));
    COptionPage& page = Page(index);
    if (QWidget* first = page.nextInFocusChain(); first != nullptr && page.isAncestorOf(first)) {
        first->setFocus();
    }
}

int COptionSheet::CurrentPage() const {
    return stack_->currentIndex();
}

void COptionSheet::accept() {
    for (int index = 0; index < PageCount(); ++index) {
        if (const std::optional<OptionFault> fault = Page(index).Check()) {
            SelectPage(index);
            ShowWarning(this, fault->message);
            fault->field->setFocus();
            if (auto* spin = qobject_cast<QAbstractSpinBox*>(fault->field)) {
                spin->selectAll();
            }
            return;
        }
    }
    std::vector<SettingsStore::Write> values;
    for (const COptionPage* page : pages_) {
        page->Save(values);
    }
    if (!settings_.WriteAll(values)) {
        ShowStopMessage(this,
                        u"The options could not be saved in \"%1\"; the settings stay as they were."_s.arg(
                            settings_.filePath()));
        return;
    }
    QDialog::accept();
}

} // namespace tessaly
