#pragma once

// The numbers of the program's commands. Menus, tool buttons, accelerators and the panes all name a
// command by its number; the main window routes each to whoever handles it.
namespace tessaly::cmd {

// The Quick Connect bar's connect button, the bar's default button.
inline constexpr int kQuickConnectGo = 1;

// Handled by the application.
inline constexpr int kNewWindow = 32864;
inline constexpr int kNewSite = 32865;
inline constexpr int kSiteManager = 32916;
inline constexpr int kSiteManagerNoMenu = 32857;
inline constexpr int kAbout = 57664;
inline constexpr int kHelp = 32941;

// Handled by the main window.
inline constexpr int kQuickConnect = 32786;
inline constexpr int kHideConnectBar = 59398;
inline constexpr int kSavedSiteFirst = 3584;
inline constexpr int kSavedSiteLast = 4095;
inline constexpr int kConnectWizard = 32790;
inline constexpr int kSiteProperties = 32867;
inline constexpr int kNewSiteFromSession = 32858;
inline constexpr int kReconnect = 32788;
inline constexpr int kDisconnect = 32789;
inline constexpr int kAbort = 32843;
inline constexpr int kChangePassword = 32923;
inline constexpr int kViewMessage = 32910;
inline constexpr int kClearCache = 32912;
inline constexpr int kOption = 32815;
inline constexpr int kTaskView = 32816;
inline constexpr int kLogView = 32817;
inline constexpr int kLocalView = 32818;
inline constexpr int kRemoteView = 32819;
inline constexpr int kDownload = 32803;
inline constexpr int kUpload = 32791;
inline constexpr int kSelectAll = 57642;
inline constexpr int kExit = 57665;
inline constexpr int kRecentSitePlaceholder = 57616;
inline constexpr int kNextPane = 59408;
inline constexpr int kPreviousPane = 59409;

// The main window's pane commands, sent on to the active pane under that pane's own number.
inline constexpr int kChangeDirectory = 32837;
inline constexpr int kNewDirectory = 32842;
inline constexpr int kUpLevel = 32861;
inline constexpr int kRefresh = 32855;
inline constexpr int kView = 32834;
inline constexpr int kRun = 32836;
inline constexpr int kDelete = 32838;
inline constexpr int kRename = 32839;
inline constexpr int kProperties = 32841;
inline constexpr int kPaste = 32907;
inline constexpr int kLargeIcons = 32846;
inline constexpr int kSmallIcons = 32847;
inline constexpr int kList = 32848;
inline constexpr int kDetail = 32849;
inline constexpr int kByName = 32850;
inline constexpr int kByType = 32851;
inline constexpr int kBySize = 32852;
inline constexpr int kByDate = 32853;
inline constexpr int kCopyAddress = 32894;

// Edit commands.
inline constexpr int kEditClear = 57633;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditPaste = 57637;

// The log pane.
inline constexpr int kLogSave = 32771;

// The local pane's own numbers.
namespace local {
inline constexpr int kChangeDirectory = 32797;
inline constexpr int kNewDirectory = 32798;
inline constexpr int kUpLevel = 32796;
inline constexpr int kRefresh = 32802;
inline constexpr int kView = 32792;
inline constexpr int kRun = 32793;
inline constexpr int kDelete = 32794;
inline constexpr int kRename = 32795;
inline constexpr int kProperties = 32882;
inline constexpr int kPaste = 32890;
inline constexpr int kLargeIcons = 32883;
inline constexpr int kSmallIcons = 32884;
inline constexpr int kList = 32799;
inline constexpr int kDetail = 32800;
inline constexpr int kByName = 32885;
inline constexpr int kByType = 32886;
inline constexpr int kBySize = 32887;
inline constexpr int kByDate = 32888;
inline constexpr int kCopyAddress = 32893;
} // namespace local

// The remote pane's own numbers.
namespace remote {
inline constexpr int kChangeDirectory = 32814;
inline constexpr int kNewDirectory = 32809;
inline constexpr int kUpLevel = 32808;
inline constexpr int kRefresh = 32812;
inline constexpr int kView = 32804;
inline constexpr int kRun = 32805;
inline constexpr int kDelete = 32806;
inline constexpr int kRename = 32807;
inline constexpr int kProperties = 32896;
inline constexpr int kPaste = 32898;
inline constexpr int kLargeIcons = 32903;
inline constexpr int kSmallIcons = 32904;
inline constexpr int kList = 32810;
inline constexpr int kDetail = 32811;
inline constexpr int kByName = 32899;
inline constexpr int kByType = 32900;
inline constexpr int kBySize = 32901;
inline constexpr int kByDate = 32902;
inline constexpr int kByPermission = 32906;
inline constexpr int kCopyAddress = 32895;
inline constexpr int kDownload = 32803;
inline constexpr int kManualDownload = 32913;
inline constexpr int kPathUp = 33770;
} // namespace remote

} // namespace tessaly::cmd
