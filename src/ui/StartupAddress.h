#pragma once

#include <QByteArrayView>
#include <QString>

namespace tessaly {

class CMainFrame;

// The desktop program's command line:
//   tessaly [ftp://[USER[:PASSWORD]@]HOST[:PORT][/PATH]]
//   tessaly --help | --version
const char* GuiUsage();

// Starts a session to an ftp:// address given on the command line (by the desktop's URL handler, or
// a browser), as the Quick Connect bar does, in the address's path; false with *error when the
// address is refused, and nothing starts.
bool ConnectToAddress(CMainFrame& frame, QByteArrayView address, QString* error);

// The folder of the help pages: help/ beside the executable (the build tree), else
// ../share/tessaly/help from the executable's folder (where the program is installed).
QString HelpDirectory();

} // namespace tessaly
