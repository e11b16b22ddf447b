#pragma once

#include <QStringView>
#include <optional>

namespace tessaly {

// What a setting holds: a switch (0 or 1), a number, or a text.
enum class SettingKind { Switch, Number, Text };

// How a reader corrects a stored number: a value outside low..high counts as fallback.
struct SettingClamp {
    int low;
    int high;
    int fallback;
};

// One key of the settings file: its section and name as spelled in the file, what it holds, its
// default, the range the options sheet accepts, and the correction its reader makes (none for most:
// a reader takes the stored value as it is).
struct SettingKey {
    QStringView section;
    QStringView key;
    SettingKind kind;
    int defaultNumber;
    QStringView defaultText;
    int low;
    int high;
    std::optional<SettingClamp> clamp;
};

// Every setting the program reads or the options sheet writes; readers and the sheet take the
// defaults from here, so they cannot differ.
namespace setting {

// clang-format off
inline constexpr SettingKey kAnommousEmail            {u"General",       u"AnommousEmail",             SettingKind::Text,   0,    u"tessaly@example.com", 0,  0,     std::nullopt};
inline constexpr SettingKey kHiddePassWord            {u"General",       u"HiddePassWord",             SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kRetryNumber              {u"General",       u"RetryNumber",               SettingKind::Number, 3,    {},                     2,  8,     std::nullopt};
inline constexpr SettingKey kWaitTimes                {u"General",       u"WaitTimes",                 SettingKind::Number, 1,    {},                     0,  5,     std::nullopt};
inline constexpr SettingKey kLoginNumber              {u"General",       u"LoginNumber",               SettingKind::Number, 3,    {},                     1,  5,     std::nullopt};
inline constexpr SettingKey kPassWaitTime             {u"General",       u"PassWaitTime",              SettingKind::Number, 30,   {},                     20, 60,    std::nullopt};
inline constexpr SettingKey kCanChangeName            {u"General",       u"CanChangeName",             SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kResumeSupport            {u"General",       u"ResumeSupport",             SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kUseTimeout               {u"General",       u"UseTimeout",                SettingKind::Switch, 0,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kConnectionTimeout        {u"General",       u"ConnectionTimeout",         SettingKind::Number, 20,   {},                     10, 30,    std::nullopt};
inline constexpr SettingKey kFtpCommandTimeout        {u"General",       u"FtpCommandTimeout",         SettingKind::Number, 300,  {},                     20, 600,   std::nullopt};
inline constexpr SettingKey kFileUploadTimeout        {u"General",       u"FileUploadTimeout",         SettingKind::Number, 60,   {},                     5,  60,    std::nullopt};
inline constexpr SettingKey kFileDownloadTimeout      {u"General",       u"FileDownloadTimeout",       SettingKind::Number, 60,   {},                     5,  60,    std::nullopt};
inline constexpr SettingKey kPasvMode                 {u"Advance",       u"PasvMode",                  SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kShowLoginMsg             {u"Advance",       u"ShowLoginMsg",              SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kShowDirMsg               {u"Advance",       u"ShowDirMsg",                SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kFolderCatch              {u"Advance",       u"FolderCatch",               SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kTransferType             {u"Advance",       u"TransferType",              SettingKind::Number, 1,    {},                     1,  3,     std::nullopt};
inline constexpr SettingKey kExtendsionList{u"Advance", u"ExtendsionList", SettingKind::Text, 0,
    u"LOG,TXT,H,C,CPP,JAVA,JSP,VBS,BAS,BAT,HTM,HTML,PL,CGI,MAK,SHTML,DHTML,CFM,PHP,ASP,CSS",
    0, 0, std::nullopt};
inline constexpr SettingKey kControlSize              {u"Advance",       u"ControlSize",               SettingKind::Number, 4,    {},                     1,  8,     SettingClamp{1, 8, 4}};
inline constexpr SettingKey kSendSize                 {u"Advance",       u"SendSize",                  SettingKind::Number, 4,    {},                     1,  8,     SettingClamp{1, 8, 4}};
inline constexpr SettingKey kReceiveSize              {u"Advance",       u"ReceiveSize",               SettingKind::Number, 4,    {},                     1,  8,     SettingClamp{1, 8, 4}};
inline constexpr SettingKey kKeepConnection           {u"Advance",       u"KeepConnection",            SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kIdleCommand              {u"Advance",       u"IdleCommand",               SettingKind::Number, 30,   {},                     30, 90,    SettingClamp{10, 90, 30}};
inline constexpr SettingKey kIdleCmdList{u"Advance", u"IdleCmdList", SettingKind::Text, 0,
    u"Reload,PWD,NOOP,REST 0,TYPE A,TYPE I",
    0, 0, std::nullopt};
inline constexpr SettingKey kUseSocks                 {u"Socks",         u"UseSocks",                  SettingKind::Switch, 0,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kSocksType                {u"Socks",         u"SocksType",                 SettingKind::Number, 0,    {},                     0,  3,     std::nullopt};
inline constexpr SettingKey kSocksHost                {u"Socks",         u"SocksHost",                 SettingKind::Text,   0,    u"",                    0,  0,     std::nullopt};
inline constexpr SettingKey kSocksPort                {u"Socks",         u"SocksPort",                 SettingKind::Number, 1080, {},                     1,  65535, std::nullopt};
inline constexpr SettingKey kSocksAuthen              {u"Socks",         u"SocksAuthen",               SettingKind::Switch, 0,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kSocksUser                {u"Socks",         u"SocksUser",                 SettingKind::Text,   0,    u"",                    0,  0,     std::nullopt};
inline constexpr SettingKey kSocksPass                {u"Socks",         u"SocksPass",                 SettingKind::Text,   0,    u"",                    0,  0,     std::nullopt};
inline constexpr SettingKey kUseProxy                 {u"FtpProxy",      u"UseProxy",                  SettingKind::Switch, 0,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kProxyType                {u"FtpProxy",      u"ProxyType",                 SettingKind::Number, 0,    {},                     0,  8,     std::nullopt};
inline constexpr SettingKey kProxyName                {u"FtpProxy",      u"ProxyName",                 SettingKind::Text,   0,    u"",                    0,  0,     std::nullopt};
inline constexpr SettingKey kProxyPort                {u"FtpProxy",      u"ProxyPort",                 SettingKind::Number, 0,    {},                     0,  65535, std::nullopt};
inline constexpr SettingKey kAuthentication           {u"FtpProxy",      u"Authentication",            SettingKind::Switch, 0,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kProxyUserName            {u"FtpProxy",      u"UserName",                  SettingKind::Text,   0,    u"",                    0,  0,     std::nullopt};
inline constexpr SettingKey kProxyPassWord            {u"FtpProxy",      u"PassWord",                  SettingKind::Text,   0,    u"",                    0,  0,     std::nullopt};
inline constexpr SettingKey kPromptOnClearFtpServerlog{u"UserPrompt",    u"PromptOnClearFtpServerlog", SettingKind::Switch, 0,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kPromptOnDeleteFavorites  {u"UserPrompt",    u"PromptOnDeleteFavorites",   SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kPromptOnDeleteLocalFiles {u"UserPrompt",    u"PromptOnDeleteLocalFiles",  SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kPromptOnDeleteRemoteFiles{u"UserPrompt",    u"PromptOnDeleteRemoteFiles", SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kPromptOnDisconnectsion   {u"UserPrompt",    u"PromptOnDisconnectsion",    SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kPromptOnCloseMainWindow  {u"UserPrompt",    u"PromptOnCloseMainWindow",   SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kPromptOnAbortFtpCommand  {u"UserPrompt",    u"PromptOnAbortFtpCommand",   SettingKind::Switch, 0,    {},                     0,  1,     std::nullopt};
inline constexpr SettingKey kFileViewer               {u"Miscellaneous", u"FileViewer",                SettingKind::Text,   0,    u"",                    0,  0,     std::nullopt};
inline constexpr SettingKey kStartupType              {u"Miscellaneous", u"StartupType",               SettingKind::Number, 0,    {},                     0,  2,     std::nullopt};
inline constexpr SettingKey kDbClickType              {u"Miscellaneous", u"DbClickType",               SettingKind::Number, 0,    {},                     0,  3,     std::nullopt};
inline constexpr SettingKey kUploadCase               {u"Miscellaneous", u"UploadCase",                SettingKind::Number, 0,    {},                     0,  2,     std::nullopt};
inline constexpr SettingKey kDownloadCase             {u"Miscellaneous", u"DownloadCase",              SettingKind::Number, 0,    {},                     0,  2,     std::nullopt};
inline constexpr SettingKey kReturnLine               {u"Miscellaneous", u"ReturnLine",                SettingKind::Switch, 1,    {},                     0,  1,     std::nullopt};
// clang-format on

// In the order of the settings file's sections.
inline constexpr const SettingKey* kAllSettings[] = {&kAnommousEmail,
                                                     &kHiddePassWord,
                                                     &kRetryNumber,
                                                     &kWaitTimes,
                                                     &kLoginNumber,
                                                     &kPassWaitTime,
                                                     &kCanChangeName,
                                                     &kResumeSupport,
                                                     &kUseTimeout,
                                                     &kConnectionTimeout,
                                                     &kFtpCommandTimeout,
                                                     &kFileUploadTimeout,
                                                     &kFileDownloadTimeout,
                                                     &kPasvMode,
                                                     &kShowLoginMsg,
                                                     &kShowDirMsg,
                                                     &kFolderCatch,
                                                     &kTransferType,
                                                     &kExtendsionList,
                                                     &kControlSize,
                                                     &kSendSize,
                                                     &kReceiveSize,
                                                     &kKeepConnection,
                                                     &kIdleCommand,
                                                     &kIdleCmdList,
                                                     &kUseSocks,
                                                     &kSocksType,
                                                     &kSocksHost,
                                                     &kSocksPort,
                                                     &kSocksAuthen,
                                                     &kSocksUser,
                                                     &kSocksPass,
                                                     &kUseProxy,
                                                     &kProxyType,
                                                     &kProxyName,
                                                     &kProxyPort,
                                                     &kAuthentication,
                                                     &kProxyUserName,
                                                     &kProxyPassWord,
                                                     &kPromptOnClearFtpServerlog,
                                                     &kPromptOnDeleteFavorites,
                                                     &kPromptOnDeleteLocalFiles,
                                                     &kPromptOnDeleteRemoteFiles,
                                                     &kPromptOnDisconnectsion,
                                                     &kPromptOnCloseMainWindow,
                                                     &kPromptOnAbortFtpCommand,
                                                     &kFileViewer,
                                                     &kStartupType,
                                                     &kDbClickType,
                                                     &kUploadCase,
                                                     &kDownloadCase,
                                                     &kReturnLine};

} // namespace setting

} // namespace tessaly
