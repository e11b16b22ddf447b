// tessaly-cli's run: logs in with the engine of the desktop program, runs the commands given on
// the command line, and disconnects once the engine is idle. Every log line goes to standard error.
#include "app/cli/CliRun.h"

#include "app/cli/CliDriver.h"
#include "app/cli/CliOptions.h"
#include "app/cli/InterruptSignals.h"
#include "app/cli/TerminalView.h"
#include "session/SessionEngine.h"
#include "settings/ConfigLocation.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "sites/SiteConnect.h"
#include "sites/SiteStore.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr int kExitNotLoggedIn = 2;
constexpr int kExitUsage = 64;
constexpr std::size_t kErrorStreamBufferBytes = 64 * 1024;

// The saved sites of the settings directory; a damaged file is reported on standard error.
SiteStore LoadSites(const QString& directory) {
    SiteStore sites(directory + u'/' + QString::fromLatin1(kSiteFileName));
    if (const SiteLoadResult loaded = sites.Load(); !loaded.message.isEmpty()) {
        std::fprintf(stderr, "tessaly-cli: %s\n", qPrintable(loaded.message));
    }
    return sites;
}

// --sites: one line per site, tab-separated: label, host, port, user, remote path; no password. The
// texts come from a file: their control characters (a TAB or line break too, which would break the
// line) are shown escaped as on a terminal, into a pipe as well.
void PrintSites(const SiteStore& sites) {
    QByteArray out;
    for (const SiteProfile& site : sites.Sites()) {
        const QByteArray port = QByteArray::number(site.port);
        for (const QByteArrayView field :
             {QByteArrayView(site.label), QByteArrayView(site.address), QByteArrayView(port),
              QByteArrayView(site.userName), QByteArrayView(site.remotePath)}) {
            AppendEscapedForTerminal(out, field);
            out.append('\t');
        }
        out.back() = '\n';
    }
    WriteOutput(out);
}

// The labels of the saved sites, for a usage error.
QString SiteLabels(const SiteStore& sites) {
    QStringList labels;
    for (const SiteProfile& site : sites.Sites()) {
        labels << u'"' + QString::fromUtf8(EscapeForTerminal(site.label)) + u'"';
    }
    return labels.isEmpty() ? QStringLiteral("there are no saved sites")
                            : QStringLiteral("the saved sites are ") + labels.join(QStringLiteral(", "));
}

} // namespace

void ChooseCliEventLoop() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) {
        qputenv("QT_NO_GLIB", "1");
    }
}

int RunCli(QCoreApplication& app) {
    // A pipe or file on standard error gets the log in blocks rather than a write for each line
    // (a tree logs several lines a file). Nothing waits in the buffer while the program does: it is
    // flushed whenever the event loop is about to wait, and before standard output is written.
    if (::isatty(STDERR_FILENO) == 0) {
        std::setvbuf(stderr, nullptr, _IOFBF, kErrorStreamBufferBytes);
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &app,
                         [] { std::fflush(stderr); });
    }
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
    if (options.version) {
        std::puts("tessaly-cli " TESSALY_VERSION);
        return 0;
    }
    const QString directory = options.configDir.isEmpty() ? ConfigDirectory() : options.configDir;
    SettingsStore settings(directory + u'/' + QString::fromUtf16(kSettingsFileName));
    if (options.timeoutSeconds) {
        ApplyTimeoutOption(settings, *options.timeoutSeconds);
    }

    if (options.listSites) {
        PrintSites(LoadSites(directory));
        return 0;
    }

    SessionEngine::StartRequest request;
    request.host = options.host;
    request.port = options.port;
    request.directory = options.directory;
    if (options.siteLabel) {
        const SiteStore sites = LoadSites(directory);
        const SiteProfile* site = sites.FindByLabel(*options.siteLabel);
        if (!site) {
            std::fprintf(stderr, "tessaly-cli: no saved site is labelled \"%s\"; %s\n%s",
                         options.siteLabel->constData(), qPrintable(SiteLabels(sites)), CliUsage());
            return kExitUsage;
        }
        const SiteConnectResult connect = SiteConnectRequest(*site, settings);
        if (!connect.request) {
            // The label in it comes from the file: its control characters are shown escaped.
            std::fprintf(stderr, "tessaly-cli: %s\n", EscapeForTerminal(connect.error.toUtf8()).constData());
            return kExitNotLoggedIn;
        }
        request = *connect.request;
        if (options.password) {
            request.password = *options.password;
        }
    } else if (options.user) {
        request.userName = *options.user;
        request.password = options.password.value_or(QByteArray());
    } else {
        request.userName = "anonymous";
        request.password = options.password.value_or(settings.Text(setting::kAnommousEmail).toUtf8());
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
