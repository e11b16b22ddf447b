#include "panes/LocalView.h"

#include "panes/FileTypeInfo.h"
#include "panes/LocalListCtrl.h"
#include "panes/PaneDragData.h"
#include "settings/SettingKeys.h"
#include "ui/CommandIds.h"
#include "ui/Icons.h"
#include "ui/LocalPropertiesDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/SelectPathDialog.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <array>
#include <span>

namespace tessaly {

namespace local = cmd::local;
using namespace Qt::StringLiterals;

namespace {

constexpr int kUpload = cmd::kUpload;
constexpr int kManualUpload = CLocalView::kManualUploadCommand;
constexpr int kBrowse = CLocalView::kBrowseCommand;

// The sort commands, the column each sorts by and its text in the "&Arrange Icons" menu.
constexpr SortCommand kSortCommands[] = {
    {local::kByName, kLocalNameColumn, u"By Name"},
    {local::kByType, kLocalTypeColumn, u"By Type"},
    {local::kBySize, kLocalSizeColumn, u"By Size"},
    {local::kByDate, kLocalModifiedColumn, u"By Date"},
};

constexpr FileListCommands kCommands = {
    .largeIcons = local::kLargeIcons,
    .smallIcons = local::kSmallIcons,
    .list = local::kList,
    .detail = local::kDetail,
    .sorts = kSortCommands,
    .rename = local::kRename,
    .remove = local::kDelete,
    .view = local::kView,
    .transfer = kUpload,
    .run = local::kRun,
};

// The rest of the pane's commands.
constexpr std::array kOwnCommands = {
    local::kView,
    local::kRun,
    local::kDelete,
    local::kRename,
    local::kUpLevel,
    local::kRefresh,
    local::kChangeDirectory,
    local::kNewDirectory,
    local::kPaste,
    local::kProperties,
    local::kCopyAddress,
    kBrowse,
    cmd::kSelectAll,
    kUpload,
    kManualUpload,
};

using namespace pane_menu;

constexpr Entry kItemMenu[] = {
    Item(kUpload, u"&Upload"),
    Item(kManualUpload, u"Manual Upload"),
    Item(local::kView, u"&View"),
    Item(local::kRun, u"&Run"),
    kSeparator,
    Item(local::kDelete, u"D&elete"),
    Item(local::kRename, u"Re&name"),
    kSeparator,
    Item(cmd::kSelectAll, u"Select &All\tCtrl+A"),
    kSeparator,
    Item(local::kUpLevel, u"Up &Level Directory"),
    Item(local::kChangeDirectory, u"C&hange Directory"),
    Item(local::kNewDirectory, u"Ne&w Directory"),
    kSeparator,
    Item(local::kProperties, u"&Properties"),
};

constexpr Entry kBackgroundMenu[] = {
    Item(kBrowse, u"&Browse"),
    kSeparator,
    kViewModesSub,
    kArrangeSub,
    kSeparator,
    Item(local::kRefresh, u"&Refresh"),
    kSeparator,
    Item(kManualUpload, u"Manual Upload"),
    kSeparator,
    Item(local::kPaste, u"&Paste"),
    kSeparator,
    Item(cmd::kSelectAll, u"Select &All\tCtrl+A"),
    kSeparator,
    Item(local::kUpLevel, u"Up &Level Directory"),
    Item(local::kChangeDirectory, u"C&hange Directory"),
    kSeparator,
    Sub(u"&New"),
    Item(local::kNewDirectory, u"&Directory"),
    kEndSub,
};

// The chooser's entry and the label's text for the top-level view.
QString TopLevelText() {
    return u"Computer"_s;
}

QString Quoted(const QString& text) {
    return u'"' + text + u'"';
}

bool ExistsOrIsLink(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A link that points nowhere: QFile sees no file there and would rename over it.
bool IsDanglingLink(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() && !info.exists();
}

} // namespace

LocalShell LocalShell::Desktop() {
    return {[](const QUrl& url) { return QDesktopServices::openUrl(url); },
            [](const QString& program, const QStringList& arguments) {
                return QProcess::startDetached(program, arguments);
            }};
}

CLocalView::CLocalView(const SettingsStore& settings, QWidget* parent)
    : CFileListView(std::make_unique<CLocalListCtrl>(), kCommands, kLocalNameColumn, parent),
      settings_(settings), shell_(LocalShell::Desktop()), list_(static_cast<CLocalListCtrl*>(&DetailList())) {
    QComboBox& chooser = PathCombo();
    chooser.setEditable(true);
    chooser.addItem(ThemeIcon("computer", QStyle::SP_ComputerIcon), TopLevelText(), QString());
    connect(&chooser, &QComboBox::activated, this, &CLocalView::OnPathChosen);
    connect(chooser.lineEdit(), &QLineEdit::returnPressed, this, &CLocalView::OnPathTyped);
    connect(&UpButton(), &QToolButton::clicked, this, [this] { RunCommand(local::kUpLevel); });

    QListView& icons = IconView();
    icons.setDragEnabled(true);
    icons.setDefaultDropAction(Qt::CopyAction);
    // Drops reach TakeDrag through the event filter, never the views' own handlers.
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(&icons)}) {
        view->setAcceptDrops(true);
        view->viewport()->setAcceptDrops(true);
    }

    if (!ShowDirectory(QDir::homePath(), {})) {
        ShowTopLevel();
    }
}

CLocalView::~CLocalView() = default;

void CLocalView::SetShell(LocalShell shell) {
    shell_ = std::move(shell);
}

// ---- What is shown ----

bool CLocalView::SetDirectory(const QString& path) {
    const QString directory = ResolveLocalPath(directory_, path);
    if (directory.isEmpty() || !ShowDirectory(directory, {})) {
        ShowWarning(this,
                    u"Cannot open the directory %1."_s.arg(Quoted(directory.isEmpty() ? path : directory)));
        UpdatePathBar(); // the chooser shows the directory again
        return false;
    }
    return true;
}

bool CLocalView::ShowDirectory(const QString& directory, const QStringList& selectNames) {
    if (!QFileInfo(directory).isDir()) {
        return false;
    }
    std::optional<LocalListing> listing = ReadLocalDirectory(directory);
    if (!listing) {
        return false;
    }
    Show(directory, std::move(*listing), selectNames);
    return true;
}

void CLocalView::ShowTopLevel() {
    Show(QString(), ReadTopLevel());
}

void CLocalView::Show(const QString& directory, LocalListing listing, const QStringList& selectNames) {
    editing_ = false;
    directory_ = directory;
    LocalListModel& model = list_->Model();
    model.SetFileSystemRows(!directory.isEmpty());
    model.SetEntries(std::move(listing), SortColumn(), SortAscending());
    ShowSortIndicator();

    QItemSelection selection;
    int current = -1;
    for (const QString& name : selectNames) {
        const int row = model.RowOfName(name);
        if (row >= 0) {
            selection.select(model.index(row, 0), model.index(row, kLocalColumnCount - 1));
            current = current < 0 ? row : current;
        }
    }
    if (current >= 0) {
        list_->selectionModel()->setCurrentIndex(model.index(current, 0), QItemSelectionModel::NoUpdate);
        list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        CurrentView().scrollTo(model.index(current, 0));
    }
    UpdatePathBar();
}

void CLocalView::UpdatePathBar() {
    int index = 0;
    if (!directory_.isEmpty()) {
        index = PathCombo().findData(directory_);
        if (index < 0) {
            PathCombo().addItem(FolderTypeInfo().icon, directory_, directory_);
            index = PathCombo().count() - 1;
        }
    }
    PathCombo().setCurrentIndex(index);
    PathCombo().setEditText(PathCombo().itemText(index));
    PathLabel().setText(directory_.isEmpty() ? TopLevelText() : directory_);
    UpButton().setEnabled(!directory_.isEmpty());
}

void CLocalView::Refresh() {
    if (directory_.isEmpty()) {
        ShowTopLevel();
        return;
    }
    QStringList selected;
    const int current = list_->currentIndex().isValid() ? list_->currentIndex().row() : -1;
    if (current >= 0 && !list_->Model().IsNewDirectoryRow(current) &&
        list_->selectionModel()->isRowSelected(current, {})) {
        selected.append(list_->Model().Name(current));
    }
    for (const int row : SelectedEntryRows()) {
        if (row != current) {
            selected.append(list_->Model().Name(row));
        }
    }
    const int scrolled = list_->verticalScrollBar()->value();
    const QString before = directory_;
    for (QString directory = directory_; !directory.isEmpty(); directory = ParentLocalDirectory(directory)) {
        if (ShowDirectory(directory, directory == before ? selected : QStringList())) {
            if (directory == before && selected.isEmpty()) {
                list_->verticalScrollBar()->setValue(scrolled);
            }
            return;
        }
    }
    ShowTopLevel();
}

QString CLocalView::Directory() const {
    return directory_;
}

bool CLocalView::IsTopLevel() const {
    return directory_.isEmpty();
}

bool CLocalView::ShowsRealDirectory() const {
    return !directory_.isEmpty();
}

QStringList CLocalView::SelectedPaths() const {
    QStringList paths;
    for (const int row : SelectedEntryRows()) {
        paths.append(list_->Model().Path(row));
    }
    return paths;
}

void CLocalView::OnPathChosen(int index) {
    if (index < 0) {
        return;
    }
    const QString path = PathCombo().itemData(index).toString();
    if (path.isEmpty()) {
        if (!directory_.isEmpty()) {
            ShowTopLevel();
        }
    } else if (path != directory_) {
        SetDirectory(path);
    }
}

void CLocalView::OnPathTyped() {
    const QString text = PathCombo().currentText();
    const int shown = directory_.isEmpty() ? 0 : PathCombo().findData(directory_);
    if (text == PathCombo().itemText(shown)) {
        return; // what is shown already (the chooser may just have gone there)
    }
    if (text == TopLevelText()) {
        ShowTopLevel();
        return;
    }
    const QString directory = ResolveLocalPath(directory_, text);
    if (directory.isEmpty() || directory == directory_) {
        UpdatePathBar(); // the chooser shows the directory again
        return;
    }
    SetDirectory(directory);
}

// ---- Commands ----

std::vector<int> CLocalView::SelectedEntryRows() const {
    std::vector<int> rows = list_->SelectedRows();
    std::erase_if(rows, [this](int row) { return list_->Model().IsNewDirectoryRow(row); });
    return rows;
}

int CLocalView::SelectedFileRow() const {
    const int row = list_->FirstSelectedRow();
    if (directory_.isEmpty() || row < 0 || list_->Model().IsNewDirectoryRow(row) ||
        list_->Model().IsDirectory(row)) {
        return -1;
    }
    return row;
}

bool CLocalView::HandlesCommand(int id) const {
    return IsViewOrSortCommand(id) || Contains(kOwnCommands, id);
}

bool CLocalView::IsCommandEnabled(int id) const {
    if (IsViewOrSortCommand(id)) {
        return true;
    }
    const bool real = ShowsRealDirectory();
    switch (id) {
    case local::kView:
    case local::kRun:
        return SelectedFileRow() >= 0;
    case local::kDelete:
        return real && !SelectedEntryRows().empty();
    case local::kRename: {
        const int row = list_->FirstSelectedRow();
        return real && !editing_ && row >= 0 && !list_->Model().IsNewDirectoryRow(row);
    }
    case local::kNewDirectory:
        return real && !editing_;
    case local::kUpLevel:
        return real;
    case local::kRefresh:
    case local::kChangeDirectory:
        return true;
    case local::kProperties:
        return !SelectedEntryRows().empty();
    case local::kCopyAddress:
        return SelectedEntryRows().size() == 1;
    case kBrowse:
        return real;
    case local::kPaste:
        return real && !LocalFilePathsOf(QApplication::clipboard()->mimeData()).isEmpty();
    case cmd::kSelectAll:
        return list_->Model().rowCount() > 0;
    case kUpload:
        return CanUpload() && !SelectedEntryRows().empty();
    case kManualUpload:
        return CanUpload();
    default:
        return false; // whatever the pane does not handle
    }
}

void CLocalView::RunCommand(int id) {
    if (!IsCommandEnabled(id) || RunViewOrSortCommand(id)) {
        return;
    }
    switch (id) {
    case local::kView:
        ViewFile();
        break;
    case local::kRun:
        RunFile();
        break;
    case local::kDelete:
        DeleteSelected();
        break;
    case local::kRename:
        StartLabelEdit(list_->FirstSelectedRow());
        break;
    case local::kNewDirectory:
        StartLabelEdit(list_->Model().AppendNewDirectoryRow());
        break;
    case local::kUpLevel:
        GoUp();
        break;
    case local::kRefresh:
        Refresh();
        break;
    case local::kChangeDirectory:
        ChooseDirectory();
        break;
    case local::kProperties:
        ShowProperties();
        break;
    case local::kCopyAddress:
        CopyAddress();
        break;
    case kBrowse:
        Browse();
        break;
    case local::kPaste:
        PasteFiles();
        break;
    case cmd::kSelectAll:
        list_->selectAll();
        break;
    case kUpload:
        emit uploadRequested(SelectedPaths());
        break;
    case kManualUpload:
        AskManualUpload();
        break;
    default:
        break;
    }
}

void CLocalView::OpenSelectedItem() {
    const int row = list_->FirstSelectedRow();
    if (row < 0 || list_->Model().IsNewDirectoryRow(row)) {
        return;
    }
    if (list_->Model().IsDirectory(row)) {
        SetDirectory(list_->Model().Path(row));
        return;
    }
    if (const int command = FileOpenCommand(settings_.Number(setting::kDbClickType)); command != 0) {
        RunCommand(command);
    }
}

void CLocalView::GoUp() {
    const QString from = directory_;
    const QString parent = ParentLocalDirectory(from);
    if (parent.isEmpty()) {
        ShowTopLevel();
        // The volume we came from, when it is one.
        for (int row = 0; row < list_->Model().rowCount(); ++row) {
            if (list_->Model().Path(row) == from) {
                list_->SelectRow(row);
                break;
            }
        }
        return;
    }
    if (!ShowDirectory(parent, {from.sliced(from.lastIndexOf(u'/') + 1)})) {
        ShowWarning(this, u"Cannot open the directory %1."_s.arg(Quoted(parent)));
    }
}

void CLocalView::ChooseDirectory() {
    QList<QByteArray> paths;
    int current = -1;
    for (int i = 1; i < PathCombo().count(); ++i) { // the top-level entry is no path
        const QString path = PathCombo().itemData(i).toString();
        if (path == directory_) {
            current = int(paths.size());
        }
        paths.append(QFile::encodeName(path));
    }
    CSelectPathDialog dialog(paths, current, this);
    if (dialog.exec() == QDialog::Accepted) {
        SetDirectory(QFile::decodeName(dialog.SelectedPath()));
    }
}

void CLocalView::ViewFile() {
    const int row = SelectedFileRow();
    if (row >= 0) {
        ViewPath(list_->Model().Path(row));
    }
}

void CLocalView::ViewPath(const QString& path) {
    const QString viewer = settings_.Text(setting::kFileViewer);
    if (viewer.isEmpty()) {
        if (!shell_.openUrl(QUrl::fromLocalFile(path))) {
            ShowWarning(this, u"Cannot open %1."_s.arg(Quoted(path)));
        }
    } else if (!shell_.startProgram(viewer, {path})) {
        ShowWarning(this, u"Cannot start the viewer %1."_s.arg(Quoted(viewer)));
    }
}

void CLocalView::RunFile() {
    const int row = SelectedFileRow();
    if (row >= 0) {
        RunPath(list_->Model().Path(row));
    }
}

void CLocalView::RunPath(const QString& path) {
    if (shell_.openUrl(QUrl::fromLocalFile(path))) {
        return;
    }
    bool chosen = false;
    const QString program =
        QInputDialog::getText(this, u"Open With"_s,
                              u"No program is set to open %1.\nProgram to open it with:"_s.arg(
                                  Quoted(QFileInfo(path).fileName())),
                              QLineEdit::Normal, QString(), &chosen)
            .trimmed();
    if (chosen && !program.isEmpty() && !shell_.startProgram(program, {path})) {
        ShowWarning(this, u"Cannot start %1."_s.arg(Quoted(program)));
    }
}

void CLocalView::DeleteSelected() {
    const QStringList paths = SelectedPaths();
    if (paths.isEmpty()) {
        return;
    }
    if (settings_.Number(setting::kPromptOnDeleteLocalFiles) != 0 &&
        !AskYesNo(this, u"All selected files will move to recycle bin, you can restore it from recycle bin. "
                        u"are you sure want to moit to recycle bin?"_s)) {
        return;
    }
    QStringList failed;
    for (const QString& path : paths) {
        if (!QFile::moveToTrash(path)) {
            failed.append(Quoted(QFileInfo(path).fileName()));
        }
    }
    if (!failed.isEmpty()) {
        ShowWarning(this, u"Cannot move to the recycle bin: %1."_s.arg(failed.join(u", "_s)));
    }
    Refresh();
}

void CLocalView::PasteFiles() {
    const QStringList sources = LocalFilePathsOf(QApplication::clipboard()->mimeData());
    QStringList problems;
    QStringList pasted;
    const QDir target(directory_);
    for (const QString& source : sources) {
        const QFileInfo info(source);
        const QString name = info.fileName();
        if (info.isDir()) {
            problems.append(u"%1 is a folder: only files are pasted."_s.arg(Quoted(name)));
        } else if (!info.exists()) {
            problems.append(u"%1 is not there any more."_s.arg(Quoted(source)));
        } else if (ExistsOrIsLink(target.filePath(name))) {
            problems.append(u"%1 is already in this directory and was not overwritten."_s.arg(Quoted(name)));
        } else if (!QFile::copy(source, target.filePath(name))) {
            problems.append(u"Cannot copy %1."_s.arg(Quoted(name)));
        } else {
            pasted.append(name);
        }
    }
    if (!problems.isEmpty()) {
        ShowWarning(this, problems.join(u'\n'));
    }
    if (!ShowDirectory(directory_, pasted)) {
        Refresh();
    }
}

void CLocalView::ShowProperties() {
    const std::vector<int> rows = SelectedEntryRows();
    if (rows.empty()) {
        return;
    }
    CLocalPropertiesDialog dialog(list_->Model().Path(rows.front()), this);
    dialog.exec();
}

void CLocalView::Browse() {
    if (!shell_.openUrl(QUrl::fromLocalFile(directory_))) {
        ShowWarning(this, u"Cannot open %1 in the file manager."_s.arg(Quoted(directory_)));
    }
}

void CLocalView::CopyAddress() {
    const std::vector<int> rows = SelectedEntryRows();
    if (rows.size() == 1) {
        QApplication::clipboard()->setText(list_->Model().Path(rows.front()));
    }
}

// ---- Rows dropped from the remote pane ----

void CLocalView::TakeDrag(QDropEvent& event) {
    const PaneDragData* rows = PaneDragData::From(event.mimeData());
    if (rows == nullptr || rows->Source() == this || !ShowsRealDirectory() || !rows->SourceMayAct() ||
        !(event.possibleActions() & Qt::CopyAction)) {
        event.ignore();
        return;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
    if (event.type() == QEvent::Drop) {
        rows->AskSourceToAct();
    }
}

std::span<const pane_menu::Entry> CLocalView::MenuTable(bool itemMenu) const {
    return itemMenu ? std::span<const pane_menu::Entry>(kItemMenu)
                    : std::span<const pane_menu::Entry>(kBackgroundMenu);
}

bool CLocalView::HasItemSelection() const {
    return !SelectedEntryRows().empty();
}

void CLocalView::OnDoubleClicked(const QModelIndex& index) {
    if (index.isValid()) { // a double-click beside the items does nothing
        OpenSelectedItem();
    }
}

// ---- Label editing ----

void CLocalView::StartLabelEdit(int row) {
    if (directory_.isEmpty() || row < 0 || row >= list_->Model().rowCount()) {
        return;
    }
    QAbstractItemView* view = &CurrentView();
    const QModelIndex index = list_->Model().index(row, kLocalNameColumn);
    nameBeforeEdit_ = list_->Model().Name(row);
    editing_ = true;
    view->setCurrentIndex(index);
    view->scrollTo(index);
    view->edit(index);
}

void CLocalView::OnLabelEditClosed(QWidget* editor, int hint) {
    if (!editing_) {
        return;
    }
    editing_ = false;
    const auto* line = qobject_cast<QLineEdit*>(editor);
    const QString text = line != nullptr ? line->text() : QString();
    LocalListModel& model = list_->Model();
    const bool newDirectory = model.IsNewDirectoryRow(model.rowCount() - 1);
    if (newDirectory) {
        model.RemoveNewDirectoryRow();
    }
    if (hint == QAbstractItemDelegate::RevertModelCache || text.isEmpty()) {
        return; // Esc, or nothing typed: nothing changes
    }
    // Finished outside the delegate's signal: messages open event loops, and the list is re-read.
    QMetaObject::invokeMethod(
        this,
        [this, newDirectory, oldName = nameBeforeEdit_, text] {
            FinishLabelEdit(newDirectory, oldName, text);
        },
        Qt::QueuedConnection);
}

void CLocalView::FinishLabelEdit(bool newDirectory, const QString& oldName, const QString& newName) {
    if (directory_.isEmpty() || (!newDirectory && newName == oldName)) {
        return;
    }
    if (newName.contains(u'/')) {
        ShowWarning(this, u"A name cannot hold \"/\": %1."_s.arg(Quoted(newName)));
        Refresh();
        return;
    }
    QDir directory(directory_);
    QString select = newName;
    if (newDirectory) {
        if (!directory.mkdir(newName)) {
            ShowStopMessage(this, u"Create directory failed!"_s);
            select.clear();
        }
    } else if (IsDanglingLink(directory.filePath(newName)) || !directory.rename(oldName, newName)) {
        // QDir::rename never replaces an existing entry, but lets a name change only its case on
        // a file system that ignores case.
        ShowWarning(this, u"Cannot rename %1 to %2."_s.arg(Quoted(oldName), Quoted(newName)));
        select = oldName;
    }
    if (!ShowDirectory(directory_, select.isEmpty() ? QStringList() : QStringList{select})) {
        Refresh();
    }
}

} // namespace tessaly
