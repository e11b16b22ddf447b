#include "settings/ui/PromptMiscPages.h"

#include "settings/ui/OptionChoices.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

using namespace Qt::StringLiterals;

CPromptProp::CPromptProp(QWidget* parent) : COptionPage(u"Prompt"_s, parent), list_(new QListWidget(this)) {
    list_->setObjectName(u"PromptList"_s);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const struct {
        const char16_t* text;
        const SettingKey* key;
    } rows[] = {
        {u"Clear FTP Status and Message", &setting::kPromptOnClearFtpServerlog},
        {u"Delete FTP Site from Site Manager", &setting::kPromptOnDeleteFavorites},
        {u"Delete Local Files", &setting::kPromptOnDeleteLocalFiles},
        {u"Delete Remote Files", &setting::kPromptOnDeleteRemoteFiles},
        {u"Disconnect FTP Session", &setting::kPromptOnDisconnectsion},
        {u"Exit Tessaly Program", &setting::kPromptOnCloseMainWindow},
        {u"Abort Current FTP Commands", &setting::kPromptOnAbortFtpCommand},
    };
    for (const auto& row : rows) {
        auto* item = new QListWidgetItem(QString::fromUtf16(row.text), list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        const SettingKey& key = *row.key;
        Bind({&key,
              [item, &key](const SettingsStore& settings) {
                  item->setCheckState(settings.Number(key) != 0 ? Qt::Checked : Qt::Unchecked);
              },
              [item] { return item->checkState() == Qt::Checked ? u"1"_s : u"0"_s; },
              {}});
    }
    // Tall enough for every row, as the list has no scroll bar.
    list_->setMinimumHeight(list_->sizeHintForRow(0) * list_->count() + 2 * list_->frameWidth() + 4);
    list_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"Ask before:"_s, this));
    layout->addWidget(list_);
    layout->addStretch(1);
}

bool CPromptProp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // The row under the pointer (which the press before has selected), else the selected row.
        QListWidgetItem* item = list_->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (item == nullptr && !list_->selectedItems().isEmpty()) {
            item = list_->selectedItems().first();
        }
        if (item == nullptr) {
            QApplication::beep();
        } else {
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
        return true;
    }
    return COptionPage::eventFilter(watched, event);
}

CMiscProp::CMiscProp(QWidget* parent)
    : COptionPage(u"Miscellanea"_s, parent), viewer_(NewText(setting::kFileViewer)) {
    // Empty: the file opens with the desktop's own choice of program.
    viewer_->setPlaceholderText(u"the desktop's default application"_s);
    auto* choose = new QPushButton(u"..."_s, this);
    choose->setObjectName(u"ChooseViewer"_s);
    choose->setAutoDefault(false);
    choose->setMaximumWidth(choose->fontMetrics().horizontalAdvance(u"....."_s) + 16);
    connect(choose, &QPushButton::clicked, this, &CMiscProp::ChooseViewer);
    auto* viewerRow = new QHBoxLayout;
    viewerRow->addWidget(NewLabel(u"Text File Editor: "_s, viewer_));
    viewerRow->addWidget(viewer_, 1);
    viewerRow->addWidget(choose);

    // One group of buttons per key, each button storing its value.
    const auto group = [this](const QString& title, QButtonGroup* buttons) {
        auto* box = new QGroupBox(title, this);
        AddButtons(new QVBoxLayout(box), buttons);
        return box;
    };
    const auto number = [](const SettingKey& key, int (*shown)(int)) {
        return [&key, shown](const SettingsStore& settings) { return shown(settings.Number(key)); };
    };
    auto* groups = new QGridLayout;
    groups->addWidget(
        group(u"Program Started"_s,
              NewChoice(setting::kStartupType,
                        {{u"Launch Connect Wizard", 0}, {u"Launch Site Manager", 1}, {u"Nothing", 2}},
                        number(setting::kStartupType, &option_choice::StartupType))),
        0, 0);
    groups->addWidget(
        group(u"Double Click"_s,
              NewChoice(setting::kDbClickType,
                        {{u"Execute", 0}, {u"View", 1}, {u"Upload/Download", 2}, {u"Ignore", 3}},
                        number(setting::kDbClickType, &option_choice::DbClickType))),
        0, 1);
    const std::initializer_list<Choice> cases = {
        {u"Don't Change", 0}, {u"Lower Case", 1}, {u"Upper Case", 2}};
    groups->addWidget(group(u"Upload"_s, NewChoice(setting::kUploadCase, cases,
                                                   number(setting::kUploadCase, &option_choice::NameCase))),
                      1, 0);
    groups->addWidget(
        group(u"Download"_s, NewChoice(setting::kDownloadCase, cases,
                                       number(setting::kDownloadCase, &option_choice::NameCase))),
        1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(viewerRow);
    layout->addLayout(groups);
    layout->addStretch(1);
}

void CMiscProp::ChooseViewer() {
    // Any program: only executable files are listed, whatever their names end with.
    QFileDialog chooser(this, u"Text File Editor"_s);
    chooser.setObjectName(u"ViewerChooser"_s);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setOption(QFileDialog::DontUseNativeDialog); // the native dialogs ignore the filter below
    chooser.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    const QFileInfo current(viewer_->text());
    chooser.setDirectory(current.isAbsolute() && current.dir().exists() ? current.absolutePath()
                                                                        : u"/usr/bin"_s);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return;
    }
    const QString chosen = chooser.selectedFiles().first();
    // A name typed into the chooser bypasses its filter.
    if (!QFileInfo(chosen).isExecutable() || QFileInfo(chosen).isDir()) {
        ShowWarning(this, u"\"%1\" is not a program."_s.arg(chosen));
        return;
    }
    viewer_->setText(chosen);
}

} // namespace tessaly
