#pragma once

class QCoreApplication;

namespace tessaly {

// Chooses the event loop tessaly-cli runs on, before the application object exists: Qt's own
// poll-based loop rather than GLib's, which wakes itself with a write for every socket notifier
// turned on or off (a few dozen system calls per file of a tree). QT_NO_GLIB set by the caller wins.
void ChooseCliEventLoop();

// Runs tessaly-cli with the application's arguments until the session has ended, and returns the
// exit status. The application's event loop runs inside.
int RunCli(QCoreApplication& app);

} // namespace tessaly
