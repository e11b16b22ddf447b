#include "sites/ui/SiteManagerDialog.h"

#include "settings/SettingKeys.h"
#include "sites/ui/SiteFieldsForm.h"
#include "ui/Icons.h"
#include "ui/MessageBoxes.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

constexpr int kSiteIdRole = Qt::UserRole;

// The fields before any site is chosen.
SiteProfile InitialFields() {
    SiteProfile site;
    site.remotePath = "/";
    site.userName = "anonymous";
    return site;
}

} // namespace

SiteManagerDialog::SiteManagerDialog(SiteStore& store, const SettingsStore& settings, Hooks hooks,
                                     QWidget* parent)
    : QDialog(parent), store_(store), settings_(settings), hooks_(std::move(hooks)), working_(store.Sites()),
      tree_(new QTreeWidget(this)), fields_(new SiteFieldsForm(settings, nullptr)),
      fieldGroup_(new QGroupBox(this)) {
    setWindowTitle(u"Site Manager"_s);
    tree_->setObjectName(u"SiteTree"_s);
    tree_->setHeaderHidden(true);
    tree_->setMinimumWidth(180);
    auto* groupLayout = new QVBoxLayout(fieldGroup_);
    groupLayout->addWidget(fields_); // the group owns the form from here
    groupLayout->addStretch(1);

    struct Action {
        const char16_t* text;
        void (SiteManagerDialog::*run)();
    };
    const Action actions[] = {
        {u"&New", &SiteManagerDialog::OnNew},
        {u"&Delete", &SiteManagerDialog::OnDelete},
        {u"&Wizard", &SiteManagerDialog::OnWizard},
        {u"&Connect", &SiteManagerDialog::OnConnect},
    };
    auto* buttons = new QHBoxLayout;
    for (const Action& action : actions) {
        auto* button = new QPushButton(QString::fromUtf16(action.text), this);
        connect(button, &QPushButton::clicked, this, action.run);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto* close = new QPushButton(u"Clo&se"_s, this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &SiteManagerDialog::accept);
    buttons->addWidget(close);

    auto* top = new QHBoxLayout;
    top->addWidget(tree_);
    top->addWidget(fieldGroup_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(620, 340);

    fields_->Show(InitialFields());
    connect(tree_, &QTreeWidget::currentItemChanged, this, &SiteManagerDialog::OnCurrentItemChanged);
    connect(fields_, &SiteFieldsForm::labelEdited, this, [this](const QString& text) {
        QTreeWidgetItem* item = tree_->currentItem();
        if (ItemSiteId(item) != 0) {
            item->setText(0, text);
        }
    });
    FillTree(-1);
}

int SiteManagerDialog::ItemSiteId(const QTreeWidgetItem* item) {
    const int id = item != nullptr ? item->data(0, kSiteIdRole).toInt() : 0;
    return id > 0 && id < 4095 ? id : 0;
}

SiteProfile* SiteManagerDialog::WorkingSite(int commandId) {
    for (SiteProfile& site : working_) {
        if (site.commandId == commandId) {
            return &site;
        }
    }
    return nullptr;
}

QStringList SiteManagerDialog::TreeLabels() const {
    QStringList labels;
    for (int i = 0; i < root_->childCount(); ++i) {
        labels.append(root_->child(i)->text(0));
    }
    return labels;
}

QTreeWidgetItem* SiteManagerDialog::AddSiteItem(const SiteProfile& site) {
    auto* item = new QTreeWidgetItem(root_, {QString::fromUtf8(site.label)});
    item->setIcon(0, ThemeIcon("network-server", QStyle::SP_DriveNetIcon));
    item->setData(0, kSiteIdRole, site.commandId);
    return item;
}

void SiteManagerDialog::FillTree(int selectId) {
    filling_ = true;
    tree_->clear();
    root_ = new QTreeWidgetItem(tree_, {u"Favorites"_s});
    root_->setIcon(0, ThemeIcon("folder", QStyle::SP_DirIcon));
    for (const SiteProfile& site : working_) {
        AddSiteItem(site);
    }
    root_->setExpanded(true);
    filling_ = false;
    // Nothing chosen yet: the fields show their first values and wait for a site.
    fieldGroup_->setEnabled(false);
    if (selectId >= 0) {
        SelectSite(selectId);
    }
}

void SiteManagerDialog::SelectSite(int commandId) {
    if (commandId == 0) {
        tree_->setCurrentItem(root_);
        return;
    }
    for (int i = 0; i < root_->childCount(); ++i) {
        if (ItemSiteId(root_->child(i)) == commandId) {
            tree_->setCurrentItem(root_->child(i));
            return;
        }
    }
}

void SiteManagerDialog::OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (filling_) {
        return;
    }
    const int left = ItemSiteId(previous);
    if (left != 0 && WorkingSite(left) != nullptr) {
        const std::optional<SiteProfile> edited = fields_->Read(*WorkingSite(left), this);
        if (!edited) {
            // The fields stay on the site they belong to until its port is mended.
            QTimer::singleShot(0, this, [this, left] {
                filling_ = true;
                SelectSite(left);
                filling_ = false;
            });
            return;
        }
        *WorkingSite(left) = *edited;
    }
    const SiteProfile* site = WorkingSite(ItemSiteId(current));
    fieldGroup_->setEnabled(site != nullptr);
    if (site != nullptr) {
        fields_->Show(*site);
    }
}

bool SiteManagerDialog::StoreFieldsOfSelection() {
    SiteProfile* site = WorkingSite(ItemSiteId(tree_->currentItem()));
    if (site == nullptr) {
        return true;
    }
    const std::optional<SiteProfile> edited = fields_->Read(*site, this);
    if (!edited) {
        return false;
    }
    *site = *edited;
    return true;
}

bool SiteManagerDialog::Commit() {
    for (const int id : std::as_const(deleted_)) {
        store_.Remove(id);
    }
    deleted_.clear();
    for (const SiteProfile& site : std::as_const(working_)) {
        store_.Update(site);
    }
    return SaveSitesTelling(store_, this);
}

void SiteManagerDialog::accept() {
    if (!StoreFieldsOfSelection()) {
        return;
    }
    Commit();
    QDialog::accept();
}

void SiteManagerDialog::OnNew() {
    if (!StoreFieldsOfSelection()) {
        return;
    }
    SiteProfile site;
    site.label = "New Site";
    const SiteAddResult added = store_.Add(site);
    if (!added.commandId) {
        ShowWarning(this, added.error);
        return;
    }
    working_.append(*store_.FindByCommandId(*added.commandId));
    Commit();
    tree_->setCurrentItem(AddSiteItem(working_.last()));
    fields_->LabelEdit().setFocus();
    fields_->LabelEdit().selectAll();
}

void SiteManagerDialog::OnDelete() {
    if (tree_->currentItem() == nullptr) {
        return;
    }
    if (settings_.Number(setting::kPromptOnDeleteFavorites) != 0 &&
        !AskYesNo(this, u"The favorites folder and sub ftp sites can not restore if you deleted it, are you "
                        u"sure want to delete it now?"_s)) {
        return;
    }
    const int id = ItemSiteId(tree_->currentItem());
    if (id == 0) {
        return;
    }
    working_.removeIf([id](const SiteProfile& site) { return site.commandId == id; });
    deleted_.append(id);
    FillTree(0);
}

void SiteManagerDialog::OnWizard() {
    if (!hooks_.runWizard) {
        return;
    }
    bool connectNow = false;
    const std::optional<int> created = hooks_.runWizard(this, &connectNow);
    const SiteProfile* site = created ? store_.FindByCommandId(*created) : nullptr;
    if (site == nullptr) {
        return;
    }
    working_.append(*site);
    AddSiteItem(*site);
    if (connectNow) {
        CloseAndConnect(*created);
    }
}

void SiteManagerDialog::OnConnect() {
    if (const int id = ItemSiteId(tree_->currentItem()); id != 0) {
        CloseAndConnect(id);
    }
}

void SiteManagerDialog::CloseAndConnect(int commandId) {
    if (!StoreFieldsOfSelection()) {
        return;
    }
    Commit();
    QDialog::accept();
    if (hooks_.connectSite) {
        hooks_.connectSite(commandId);
    }
}

} // namespace tessaly
