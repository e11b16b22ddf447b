#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace tessaly {

// One saved site. The texts are bytes as the file holds them (UTF-8 as a rule, but any bytes survive a
// load and a save unchanged); they are decoded only for display.
struct SiteProfile {
    QByteArray label;    // the name shown for the site
    QByteArray address;  // host name or address of the server
    QByteArray userName; // "anonymous" marks an anonymous site
    QByteArray password; // stored empty for anonymous sites
    qint32 port = 21;    // as stored: a value outside 1..65535 is refused when connecting
    QByteArray remotePath;
    QByteArray note;
    int commandId = 0; // the main window's command for the site (3584..4095); not stored in the file

    friend bool operator==(const SiteProfile&, const SiteProfile&) = default;
};

} // namespace tessaly
