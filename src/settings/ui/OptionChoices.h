#pragma once

#include "settings/SettingKeys.h"

#include <QString>

// What the options sheet shows for a stored choice: the choice its reader makes of the value, so a
// value no radio button stands for (edited by hand, or left by an older program) is shown as what the
// program does with it, and OK stores that choice instead of a value no reader defines.
namespace tessaly::option_choice {

// Switches ("UseTimeout", "UseSocks", "UseProxy" and every check box): any value but 0 is on.
inline int Switch(int stored) {
    return stored != 0 ? 1 : 0;
}

// "TransferType": the transfer step sends "TYPE A" for 2, chooses by extension for 1 and sends
// "TYPE I" for any other value, as "Binary" (3) does.
inline int TransferType(int stored) {
    return stored == 1 || stored == 2 ? stored : 3;
}

// "UploadCase", "DownloadCase": the transfer steps take the remainder of the value by 3 and change the
// name for a remainder of 1 (lower case) or 2 (upper case); a negative value leaves a negative
// remainder, which changes nothing.
inline int NameCase(int stored) {
    const int remainder = stored % 3;
    return remainder > 0 ? remainder : 0;
}

// "DbClickType": 0 "Execute", 1 "View", 2 "Upload/Download", 3 "Ignore"; the panes run the file for
// any other value, as "Execute" does.
inline int DbClickType(int stored) {
    return stored >= 0 && stored <= 3 ? stored : 0;
}

// "StartupType": nothing at start-up reads it; a value no button stands for shows the default.
inline int StartupType(int stored) {
    return stored >= 0 && stored <= 2 ? stored : setting::kStartupType.defaultNumber;
}

// "UseSocks" with "SocksType": the connection goes through the proxy only while the switch is on and
// the type is one of 0..3 (SOCKS4, SOCKS4A, SOCKS5, HTTP 1.1); with any other type it goes directly,
// as "None" does, and the type shows its default.
struct Socks {
    int useSocks;
    int socksType;
};
inline Socks SocksChoice(int useSocks, int socksType) {
    const bool known = socksType >= 0 && socksType <= 3;
    return {useSocks != 0 && known ? 1 : 0, known ? socksType : setting::kSocksType.defaultNumber};
}

// "UseProxy" with "ProxyType": the logon goes through the FTP proxy while the switch is on, with the
// convention 1..8 the type names; with the switch on and any other type no connection starts until a
// convention is chosen, so no logon button is checked (-1). With the switch off the type is not used:
// "None" stores 0, and no logon button is checked either.
struct Proxy {
    int useProxy;
    int proxyType; // 1..8, or -1: no logon button checked
};
inline Proxy ProxyChoice(int useProxy, int proxyType) {
    if (useProxy == 0) {
        return {0, -1};
    }
    return {1, proxyType >= 1 && proxyType <= 8 ? proxyType : -1};
}

// A text-file extension as the transfer step matches it: the name's part after its last '.' in upper
// case, equal to one of the list's entries. An entry is stored trimmed, without a leading '.', its
// ASCII letters in upper case; empty when nothing is left.
inline QString ExtensionEntry(const QString& typed) {
    QString entry = typed.trimmed();
    if (entry.startsWith(u'.')) {
        entry.remove(0, 1);
    }
    for (QChar& c : entry) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(c.unicode() - u'a' + u'A');
        }
    }
    return entry;
}

} // namespace tessaly::option_choice
