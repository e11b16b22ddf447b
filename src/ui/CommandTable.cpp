#include "ui/CommandTable.h"

#include "ui/CommandIds.h"

#include <algorithm>
#include <array>

namespace tessaly {

namespace {

using namespace cmd;
using SP = QStyle::StandardPixmap;

constexpr CommandInfo kCommands[] = {
    // File
    {kNewWindow, u"&New Window", u"Open another window for a second connection", "window-new",
     SP::SP_TitleBarNormalButton, u"Ctrl+N", false},
    {kNewSite, u"New &FTP Site...", u"Add a new site to the site manager", "document-new", SP::SP_FileIcon,
     nullptr, false},
    {kSiteManager, u"FTP &Site Manager...", u"FTP site manager", "network-server", SP::SP_DriveNetIcon, u"F4",
     false},
    {kConnectWizard, u"Connect &Wizard...", u"Connect wizard", "tab-new", SP::SP_FileDialogNewFolder, nullptr,
     false},
    {kRecentSitePlaceholder, u"FTP Site 1", u"Connect to a recent site", nullptr, SP::SP_CustomBase, nullptr,
     false},
    {kExit, u"E&xit", u"Quit the application", "application-exit", SP::SP_DialogCloseButton, u"Alt+X", false},
    // Edit
    {kEditCopy, u"&Copy", u"Copy the selection and put it on the Clipboard.", "edit-copy", SP::SP_CustomBase,
     nullptr, false},
    {kPaste, u"&Paste", u"Paste the files on the Clipboard here", "edit-paste", SP::SP_CustomBase, u"Ctrl+V",
     false},
    {kEditClear, u"Cl&ear Log", u"Erase everything.", "edit-clear-all", SP::SP_CustomBase, nullptr, false},
    {kLogSave, u"&Save Log...", u"Save to file", "document-save", SP::SP_DialogSaveButton, nullptr, false},
    {kSelectAll, u"Select &All", u"Select everything in the active pane", "edit-select-all",
     SP::SP_CustomBase, u"Ctrl+A", false},
    // Command
    {kQuickConnect, u"&Quick Connect", u"Show or hide the Quick Connect bar", "network-transmit-receive",
     SP::SP_CommandLink, u"Ctrl+Q", true},
    {kReconnect, u"&Reconnect", u"Reconnect  the last ftp site", "media-playlist-repeat",
     SP::SP_BrowserReload, nullptr, false},
    {kDisconnect, u"&Disconnect", u"Disconnect the ftp connection", "network-offline", SP::SP_BrowserStop,
     nullptr, false},
    {kAbort, u"&Abort", u"Abort current ftp command", "process-stop", SP::SP_MediaStop, u"Esc", false},
    {kDownload, u"&Download\tCtrl+PgDn", u"Download the selected remote items", "network-receive",
     SP::SP_ArrowDown, u"Ctrl+Down", false},
    {kUpload, u"&Upload\tCtrl+PgUp", u"Upload the selected local items", "network-transmit", SP::SP_ArrowUp,
     u"Ctrl+Up", false},
    {kView, u"&View", u"View the selected file", "document-open", SP::SP_FileIcon, u"Ctrl+W", false},
    {kRun, u"R&un", u"Open the selected file with its program", "media-playback-start", SP::SP_MediaPlay,
     u"Ctrl+E", false},
    {kDelete, u"D&elete", u"Delete the selected items", "edit-delete", SP::SP_TrashIcon, nullptr, false},
    {kRename, u"Re&name", u"Rename the selected item", "document-edit", SP::SP_CustomBase, nullptr, false},
    {kNewDirectory, u"Ne&w Directory", u"Create a new directory", "folder-new", SP::SP_FileDialogNewFolder,
     u"Ctrl+M", false},
    {kChangeDirectory, u"C&hange Directory...", u"Go to a directory by its path", "go-jump",
     SP::SP_DirOpenIcon, u"Ctrl+H", false},
    {kUpLevel, u"Up &Level Directory", u"Go to the parent directory", "go-up", SP::SP_FileDialogToParent,
     u"Ctrl+U", false},
    {kRefresh, u"Re&fresh", u"List the directory again", "view-refresh", SP::SP_BrowserReload, u"F5", false},
    {kProperties, u"&Properties", u"Show the properties of the selected item", "document-properties",
     SP::SP_FileDialogInfoView, u"Alt+Return", false},
    {kCopyAddress, u"Copy &Address", u"Copy the address of the selected item", nullptr, SP::SP_CustomBase,
     nullptr, false},
    {kViewMessage, u"View &Message", u"View FTP Server message", "dialog-information",
     SP::SP_MessageBoxInformation, nullptr, false},
    {kChangePassword, u"Change &Password...", u"Change the password on the server", "dialog-password",
     SP::SP_CustomBase, nullptr, false},
    {kClearCache, u"&Clear Cache", u"Forget the cached directory listings", "edit-clear", SP::SP_CustomBase,
     nullptr, false},
    {kSiteProperties, u"Site Pr&operties...", u"Show the current site's properties", nullptr,
     SP::SP_CustomBase, nullptr, false},
    // View
    {kHideConnectBar, u"Quick &Connect Bar", u"Show or hide the Quick Connect bar", nullptr,
     SP::SP_CustomBase, nullptr, true},
    {kLocalView, u"&Local View", u"Show or hide the local pane", nullptr, SP::SP_CustomBase, nullptr, true},
    {kRemoteView, u"&Remote View", u"Show or hide the remote pane", nullptr, SP::SP_CustomBase, nullptr,
     true},
    {kTaskView, u"&Task View", u"Show or hide the transfer task pane", nullptr, SP::SP_CustomBase, nullptr,
     true},
    {kLogView, u"L&og View", u"Show or hide the log pane", nullptr, SP::SP_CustomBase, nullptr, true},
    {kLargeIcons, u"Lar&ge Icons", u"Show the items as large icons", nullptr, SP::SP_CustomBase, nullptr,
     true},
    {kSmallIcons, u"S&mall Icons", u"Show the items as small icons", nullptr, SP::SP_CustomBase, nullptr,
     true},
    {kList, u"&List", u"Show the items in a list", nullptr, SP::SP_CustomBase, nullptr, true},
    {kDetail, u"&Detail", u"Show the items with their details", nullptr, SP::SP_CustomBase, nullptr, true},
    {kByName, u"By &Name", u"Sort the items by name", nullptr, SP::SP_CustomBase, nullptr, false},
    {kByType, u"By &Type", u"Sort the items by type", nullptr, SP::SP_CustomBase, nullptr, false},
    {kBySize, u"By &Size", u"Sort the items by size", nullptr, SP::SP_CustomBase, nullptr, false},
    {kByDate, u"By &Date", u"Sort the items by date", nullptr, SP::SP_CustomBase, nullptr, false},
    // Tools
    {kOption, u"&Option...", u"Change the options", "preferences-system", SP::SP_FileDialogDetailedView,
     u"Alt+O", false},
    // Help
    {kHelp, u"&Help", u"Open the help", "help-browser", SP::SP_DialogHelpButton, nullptr, false},
    {kAbout, u"&About Tessaly Client", u"Show the program's name, version and acknowledgements", "help-about",
     SP::SP_MessageBoxInformation, nullptr, false},
};

constexpr PaneRoute kPaneRoutes[] = {
    {kChangeDirectory, local::kChangeDirectory, remote::kChangeDirectory},
    {kNewDirectory, local::kNewDirectory, remote::kNewDirectory},
    {kUpLevel, local::kUpLevel, remote::kUpLevel},
    {kRefresh, local::kRefresh, remote::kRefresh},
    {kView, local::kView, remote::kView},
    {kRun, local::kRun, remote::kRun},
    {kDelete, local::kDelete, remote::kDelete},
    {kRename, local::kRename, remote::kRename},
    {kProperties, local::kProperties, remote::kProperties},
    {kPaste, local::kPaste, remote::kPaste},
    {kLargeIcons, local::kLargeIcons, remote::kLargeIcons},
    {kSmallIcons, local::kSmallIcons, remote::kSmallIcons},
    {kList, local::kList, remote::kList},
    {kDetail, local::kDetail, remote::kDetail},
    {kByName, local::kByName, remote::kByName},
    {kByType, local::kByType, remote::kByType},
    {kBySize, local::kBySize, remote::kBySize},
    {kByDate, local::kByDate, remote::kByDate},
    {kCopyAddress, local::kCopyAddress, remote::kCopyAddress},
    // Download belongs to the remote pane and Upload to the local one.
    {kDownload, 0, remote::kDownload},
    {kUpload, kUpload, 0},
};

constexpr int kToolbar[] = {kSiteManager,  kQuickConnect, kConnectWizard, kReconnect, kDisconnect, kAbort,
                            kUpload,       kDownload,     kRun,           kDelete,    kRefresh,    kUpLevel,
                            kNewDirectory, kOption,       kHelp,          kExit};

constexpr int kFileMenu[] = {kNewWindow,     kMenuSeparator,   kNewSite,       kSiteManager, kConnectWizard,
                             kMenuSeparator, kMenuRecentSites, kMenuSeparator, kExit};
constexpr int kEditMenu[] = {kEditCopy,  kPaste,   kMenuSeparator, kSelectAll,  kMenuSeparator,
                             kEditClear, kLogSave, kMenuSeparator, kCopyAddress};
constexpr int kCommandMenu[] = {kQuickConnect,   kReconnect,     kDisconnect,      kAbort,
                                kMenuSeparator,  kDownload,      kUpload,          kMenuSeparator,
                                kView,           kRun,           kDelete,          kRename,
                                kNewDirectory,   kMenuSeparator, kChangeDirectory, kUpLevel,
                                kRefresh,        kProperties,    kMenuSeparator,   kViewMessage,
                                kChangePassword, kClearCache,    kSiteProperties};
constexpr int kViewMenu[] = {kHideConnectBar, kMenuSeparator, kLocalView,     kRemoteView, kTaskView,
                             kLogView,        kMenuSeparator, kMenuViewModes, kMenuArrange};
constexpr int kToolsMenu[] = {kOption};
constexpr int kHelpMenu[] = {kHelp, kAbout};

constexpr MenuInfo kMenus[] = {
    {u"&File", kFileMenu}, {u"&Edit", kEditMenu},   {u"&Command", kCommandMenu},
    {u"&View", kViewMenu}, {u"&Tools", kToolsMenu}, {u"&Help", kHelpMenu},
};

constexpr ExtraShortcut kExtraShortcuts[] = {
    {u"Ctrl+Ins", kEditCopy},
    {u"Shift+Ins", kPaste},
    {u"Alt+Enter", kProperties},
};

} // namespace

std::span<const CommandInfo> Commands() {
    return kCommands;
}

const CommandInfo* FindCommand(int id) {
    const auto found = std::ranges::find(kCommands, id, &CommandInfo::id);
    return found == std::end(kCommands) ? nullptr : &*found;
}

std::span<const PaneRoute> PaneRoutes() {
    return kPaneRoutes;
}

const PaneRoute* FindPaneRoute(int frameId) {
    const auto found = std::ranges::find(kPaneRoutes, frameId, &PaneRoute::frame);
    return found == std::end(kPaneRoutes) ? nullptr : &*found;
}

std::span<const int> StandardToolbar() {
    return kToolbar;
}
std::span<const MenuInfo> MainMenus() {
    return kMenus;
}
std::span<const ExtraShortcut> ExtraShortcuts() {
    return kExtraShortcuts;
}

} // namespace tessaly
