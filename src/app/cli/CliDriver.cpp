#include "app/cli/CliDriver.h"

#include "app/cli/EchoOff.h"
#include "app/cli/InterruptSignals.h"
#include "session/RemotePath.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <charconv>
#include <cstdio>

namespace tessaly {

CliDriver::CliDriver(SessionEngine& engine, TerminalView& view, QList<CliCommand> commands,
                     bool outputOnTerminal)
    : engine_(engine), view_(view), commands_(std::move(commands)), outputOnTerminal_(outputOnTerminal) {
    // The engine calls its view from inside its own handlers; what the driver does in answer runs on
    // the next turn of the loop.
    view_.onIdle = [this] { QTimer::singleShot(0, &context_, [this] { OnIdle(); }); };
    // The engine's own idle commands (the keep-alive) may run meanwhile; the next command runs once
    // the time is up and the engine is idle.
    idleTimer_.setSingleShot(true);
    idleTimer_.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait up to 5 % early
    QObject::connect(&idleTimer_, &QTimer::timeout, &context_, [this] { OnIdle(); });
}

void CliDriver::OnIdle() {
    if (engine_.IsIdle() && !disconnecting_ && !idleTimer_.isActive()) {
        RunNext();
    }
}

void CliDriver::Interrupt(int signal) {
    const bool again = interruptSignal_ != 0;
    interruptSignal_ = signal;
    next_ = commands_.size();
    idleTimer_.stop();
    if (!engine_.Session()) {
        return;
    }
    if (again || engine_.IsIdle()) {
        disconnecting_ = true;
        engine_.Disconnect();
        return;
    }
    engine_.AbortCommand();
    if (!engine_.Session()) {
        return;
    }
    // A single operation is dropped without a word to the server, and the engine says nothing: it
    // is idle now. Otherwise the server's answer to the abort is awaited (the progress line, if any,
    // has ended with the job's rows).
    if (engine_.IsIdle()) {
        disconnecting_ = true;
        engine_.Disconnect();
    } else {
        std::fputs("tessaly-cli: interrupted: waiting for the server; interrupt again to quit at once\n",
                   stderr);
    }
}

void CliDriver::RunNext() {
    while (next_ < commands_.size()) {
        const CliCommand& command = commands_[next_++];
        const QByteArray current = engine_.Session()->currentDirectory;
        switch (command.kind) {
        case CliCommand::Kind::Quote:
            if (engine_.SendCommands({command.argument})) {
                return;
            }
            break;
        case CliCommand::Kind::Ls:
            PrintListing();
            break;
        case CliCommand::Kind::Pwd: {
            QByteArray line = outputOnTerminal_ ? EscapeForTerminal(current) : current;
            line.append('\n');
            WriteOutput(line);
            break;
        }
        case CliCommand::Kind::Cd:
            engine_.ChangeDirectory(ResolveRemotePath(current, command.argument), false);
            return;
        case CliCommand::Kind::Up:
            engine_.ChangeDirectory(ParentRemotePath(current), true);
            return;
        case CliCommand::Kind::Get:
            if (Get(command)) {
                return;
            }
            break;
        case CliCommand::Kind::Put:
            if (!QFileInfo::exists(command.localPath) && !QFileInfo(command.localPath).isSymLink()) {
                std::fprintf(stderr, "tessaly-cli: put: %s does not exist\n", qPrintable(command.localPath));
                transferFailed_ = true;
                break;
            }
            if (engine_.UploadPaths({command.localPath})) {
                return;
            }
            break;
        case CliCommand::Kind::Mkdir:
        case CliCommand::Kind::Rename:
        case CliCommand::Kind::Chmod:
        case CliCommand::Kind::Rm:
        case CliCommand::Kind::Passwd:
            if (RunRemoteOperation(command)) {
                return;
            }
            break;
        case CliCommand::Kind::Idle:
            idleTimer_.start(command.seconds * 1000);
            return;
        }
    }
    disconnecting_ = true;
    engine_.Disconnect();
}

bool CliDriver::Get(const CliCommand& command) {
    const QString directory = command.localDirectory.isEmpty() ? QDir::currentPath() : command.localDirectory;
    if (!QFileInfo(directory).isDir()) {
        std::fprintf(stderr, "tessaly-cli: get: %s is not a directory\n", qPrintable(directory));
        transferFailed_ = true;
        return false;
    }
    // A name of the listing: a file, or a directory fetched as a whole tree.
    const ListingItems& items = engine_.CurrentItems();
    for (const QList<RemoteItem>* kind : {&items.directories, &items.files}) {
        for (const RemoteItem& item : *kind) {
            if (item.name() == QByteArrayView(command.argument)) {
                return engine_.DownloadItems({item}, directory);
            }
        }
    }
    // Not in the listing: a path, whose size the server is asked for.
    const QByteArray current = engine_.Session()->currentDirectory;
    return engine_.DownloadByPath(ResolveRemotePath(current, command.argument), directory);
}

bool CliDriver::RunRemoteOperation(const CliCommand& command) {
    switch (command.kind) {
    case CliCommand::Kind::Mkdir:
        return engine_.MakeDirectory(command.argument);
    case CliCommand::Kind::Rename:
        return engine_.RenameRemote(command.argument, command.second);
    case CliCommand::Kind::Chmod:
        return engine_.ApplyRemoteProperties(command.second, command.second, -1,
                                             command.argument.toInt(nullptr, 8));
    case CliCommand::Kind::Rm: {
        const ListingItems& items = engine_.CurrentItems();
        for (const QList<RemoteItem>* kind : {&items.directories, &items.files}) {
            for (const RemoteItem& item : *kind) {
                if (item.name() == QByteArrayView(command.argument)) {
                    return engine_.DeleteItems({item});
                }
            }
        }
        std::fprintf(stderr, "tessaly-cli: rm: %s is not in the current listing\n",
                     command.argument.constData());
        transferFailed_ = true;
        return false;
    }
    case CliCommand::Kind::Passwd: {
        // Never from the command line, where other users could read it: one line each on stdin. A
        // terminal asks for each and does not echo them, as at the login question. Ctrl+C while they
        // are typed ends the program at once, the echo given back.
        const DefaultInterruptActions endingSignals;
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly)) {
            transferFailed_ = true;
            return false;
        }
        const EchoOff echoOff;
        const auto line = [&input, &echoOff](const char* prompt) {
            if (echoOff.active()) {
                std::fputs(prompt, stderr);
                std::fflush(stderr);
            }
            QByteArray text = input.readLine();
            if (echoOff.active()) {
                std::fputs("\n", stderr); // the Enter the user typed was not echoed
            }
            while (text.endsWith('\n') || text.endsWith('\r')) {
                text.chop(1);
            }
            return text;
        };
        const QByteArray oldPassword = line("Old password: ");
        const QByteArray newPassword = line("New password: ");
        if (newPassword.isEmpty()) {
            std::fprintf(
                stderr,
                "tessaly-cli: passwd: give the old and the new password on standard input, one a line\n");
            transferFailed_ = true;
            return false;
        }
        return engine_.ChangePassword(oldPassword, newPassword);
    }
    default:
        return false;
    }
}

void CliDriver::PrintListing() const {
    // The lines go out in chunks of about this size, so the output costs no memory that grows with
    // the listing.
    constexpr qsizetype kChunk = 64 * 1024;
    const ListingItems& items = engine_.CurrentItems();
    QByteArray out;
    out.reserve(kChunk + 1024);
    // A name may hold a TAB or other control bytes of its own; on a terminal they are escaped, so only the
    // separators stay raw. A pipe or file gets the bytes as they are.
    const auto append = [this, &out](QByteArrayView field) {
        if (outputOnTerminal_) {
            AppendEscapedForTerminal(out, field);
        } else {
            out.append(field);
        }
    };
    auto flush = [&out] {
        WriteOutput(out);
        out.resize(0);
    };
    for (const QList<RemoteItem>* group : {&items.directories, &items.files}) {
        for (const RemoteItem& item : *group) {
            char size[24];
            const std::to_chars_result written = std::to_chars(size, size + sizeof size, item.size());
            out.append(item.isDirectory() ? "d\t" : "-\t");
            append(item.name());
            out.append('\t');
            out.append(size, written.ptr - size);
            out.append('\t');
            append(item.dateText());
            out.append('\t');
            append(item.timeText());
            out.append('\t');
            append(item.permissionText());
            out.append('\n');
            if (out.size() >= kChunk) {
                flush();
            }
        }
    }
    flush();
}

int CliDriver::ExitStatus() const {
    if (interruptSignal_ != 0) {
        return 128 + interruptSignal_;
    }
    if (!view_.loggedIn()) {
        return 2;
    }
    return !disconnecting_ || view_.reportedFailures() || transferFailed_ ? 1 : 0;
}

} // namespace tessaly
