// tessaly-cli: logs in with the engine of the desktop program, runs the given commands, and
// disconnects once the engine is idle. Every log line goes to standard error.
#include "app/cli/CliRun.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    tessaly::ChooseCliEventLoop();
    QCoreApplication app(argc, argv);
    return tessaly::RunCli(app);
}
