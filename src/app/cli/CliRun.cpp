// tessaly-cli's run: logs in with the engine of the desktop program, runs the commands given on
// the command line, and disconnects once the engine is idle. Every log line goes to standard error.
#include "app/cli/CliRun.h"

#include "app/cli/CliDriver.h"
#include "app/cli/CliOptions.h"
#include "app/cli/InterruptSignals.h"
#include "app/cli/TerminalView.h"
#include "session/SessionEngine.h"
#include "settings/ConfigLocation.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr int kExitNotLoggedIn = 2;
constexpr int kExitUsage = 64;

} // namespace

int RunCli(QCoreApplication& app) {
    const CliParseResult parsed =
        ParseCliArguments(QCoreApplication::arguments(), CliEnvironment::FromProcess());
    if (!parsed.options) {
        std::fprintf(stderr, "tessaly-cli: %s\n%s", qPrintable(parsed.error), CliUsage());
        return kExitUsage;
    }
    const CliOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(CliUsage(), stdout);
        return 0;
    }
    const QString directory = options.configDir.isEmpty() ? ConfigDirectory() : options.configDir;
    SettingsStore settings(directory + u'/' + QString::fromUtf16(kSettingsFileName));
    if (options.timeoutSeconds) {
        ApplyTimeoutOption(settings, *options.timeoutSeconds);
    }

    SessionEngine::StartRequest request;
    request.host = options.host;
    request.port = options.port;
    if (options.user) {
        request.userName = *options.user;
        request.password = options.password.value_or(QByteArray());
    } else {
        request.userName = "anonymous";
        request.password = options.password.value_or(
            settings
                .GetString(u"General", u"AnommousEmail", QString::fromLatin1(FtpSession::kPlaceholderEmail))
                .toUtf8());
    }

    // What a server sent is escaped on the way to a terminal, and goes out byte for byte otherwise.
    TerminalView view(::isatty(STDERR_FILENO) != 0);
    view.SetConflictAction(options.onConflict);
    SessionEngine engine(view, settings);
    CliDriver driver(engine, view, options.commands, ::isatty(STDOUT_FILENO) != 0);
    // Ctrl+C and SIGTERM abort what runs; once the session is gone, nothing more happens: the
    // program ends.
    InterruptSignals interrupts([&](int signal) {
        driver.Interrupt(signal);
        if (!engine.Session()) {
            app.exit(driver.ExitStatus());
        }
    });
    view.onClosed = [&] {
        QTimer::singleShot(0, &app, [&] {
            interrupts.DeliverPending(); // a signal that came meanwhile tells the exit status
            app.exit(driver.ExitStatus());
        });
    };
    engine.StartSession(request);
    if (!engine.Session()) {
        return kExitNotLoggedIn; // "RetryNumber" 0: no attempt is made
    }
    return QCoreApplication::exec();
}

} // namespace tessaly
