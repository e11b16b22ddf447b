#include "app/cli/CliDriver.h"

#include "session/RemotePath.h"

#include <QTimer>
#include <charconv>
#include <cstdio>

namespace tessaly {

CliDriver::CliDriver(SessionEngine& engine, TerminalView& view, QList<CliCommand> commands)
    : engine_(engine), view_(view), commands_(std::move(commands)) {
    // The engine calls its view from inside its own handlers; what the driver does in answer runs on
    // the next turn of the loop.
    view_.onIdle = [this] { QTimer::singleShot(0, &context_, [this] { OnIdle(); }); };
}

void CliDriver::OnIdle() {
    if (engine_.IsIdle() && !disconnecting_) {
        RunNext();
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
        case CliCommand::Kind::Pwd:
            std::printf("%s\n", current.constData());
            std::fflush(stdout);
            break;
        case CliCommand::Kind::Cd:
            engine_.ChangeDirectory(ResolveRemotePath(current, command.argument), false);
            return;
        case CliCommand::Kind::Up:
            engine_.ChangeDirectory(ParentRemotePath(current), true);
            return;
        }
    }
    disconnecting_ = true;
    engine_.Disconnect();
}

void CliDriver::PrintListing() const {
    // The lines go out in chunks of about this size, so the output costs no memory that grows with
    // the listing.
    constexpr qsizetype kChunk = 64 * 1024;
    const ListingItems& items = engine_.CurrentItems();
    QByteArray out;
    out.reserve(kChunk + 1024);
    auto flush = [&out] {
        std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
        out.resize(0);
    };
    for (const QList<RemoteItem>* group : {&items.directories, &items.files}) {
        for (const RemoteItem& item : *group) {
            char size[24];
            const std::to_chars_result written = std::to_chars(size, size + sizeof size, item.size());
            out.append(item.isDirectory() ? "d\t" : "-\t");
            out.append(item.name());
            out.append('\t');
            out.append(size, written.ptr - size);
            out.append('\t');
            out.append(item.dateText());
            out.append('\t');
            out.append(item.timeText());
            out.append('\t');
            out.append(item.permissionText());
            out.append('\n');
            if (out.size() >= kChunk) {
                flush();
            }
        }
    }
    flush();
    std::fflush(stdout);
}

int CliDriver::ExitStatus() const {
    if (!view_.loggedIn()) {
        return 2;
    }
    return !disconnecting_ || view_.reportedFailures() ? 1 : 0;
}

} // namespace tessaly
