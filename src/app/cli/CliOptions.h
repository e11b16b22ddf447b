#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The command line of tessaly-cli:
//   tessaly-cli [--user NAME] [--pass PASSWORD] [--port N] [--config-dir DIR] HOST[:PORT] [COMMAND ...]
// The commands run in order after login:
//   quote LINE  send LINE to the server as it is
//   ls          print the items of the current listing
//   cd PATH     change directory (PATH absolute, or below the current directory)
//   up          go to the parent directory
//   pwd         print the current directory
struct CliCommand {
    enum class Kind { Quote, Ls, Cd, Up, Pwd };
    Kind kind;
    QByteArray argument;
    friend bool operator==(const CliCommand&, const CliCommand&) = default;
};

struct CliOptions {
    QByteArray host;
    quint16 port = 21;
    std::optional<QByteArray> user;
    std::optional<QByteArray> password;
    QString configDir;
    QList<CliCommand> commands;
};

struct CliParseResult {
    std::optional<CliOptions> options; // empty on a usage error
    QString error;
};

CliParseResult ParseCliArguments(const QStringList& arguments);
const char* CliUsage();

} // namespace tessaly
