#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The command line of tessaly-cli:
//   tessaly-cli [--user NAME] [--pass PASSWORD] [--port N] [--config-dir DIR] HOST[:PORT] [COMMAND ...]
// A COMMAND is "quote LINE": LINE is sent to the server as it is, after login.
struct CliOptions {
    QByteArray host;
    quint16 port = 21;
    std::optional<QByteArray> user;
    std::optional<QByteArray> password;
    QString configDir;
    QList<QByteArray> commandLines;
};

struct CliParseResult {
    std::optional<CliOptions> options; // empty on a usage error
    QString error;
};

CliParseResult ParseCliArguments(const QStringList& arguments);
const char* CliUsage();

} // namespace tessaly
