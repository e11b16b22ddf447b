#pragma once

class QCoreApplication;

namespace tessaly {

// Runs tessaly-cli with the application's arguments until the session has ended, and returns the
// exit status. The application's event loop runs inside.
int RunCli(QCoreApplication& app);

} // namespace tessaly
