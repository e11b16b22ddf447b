#include "app/cli/CliOptions.h"

namespace tessaly {

namespace {

std::optional<quint16> ParsePort(const QString& text) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

CliParseResult Fail(const QString& error) {
    return {std::nullopt, error};
}

} // namespace

const char* CliUsage() {
    return "usage: tessaly-cli [--user NAME] [--pass PASSWORD] [--port N] [--config-dir DIR] HOST[:PORT] "
           "[COMMAND ...]\n"
           "commands, run in order after login:\n"
           "  quote LINE   send LINE to the server as it is\n"
           "  ls           print the current listing: type, name, size, date, time, permissions\n"
           "  cd PATH      change directory (absolute, or below the current one)\n"
           "  up           go to the parent directory\n"
           "  pwd          print the current directory\n"
           "exit status: 0 logged in and every command succeeded, 1 logged in but a command failed,\n"
           "             2 the session ended before or during login, 64 bad arguments\n";
}

CliParseResult ParseCliArguments(const QStringList& arguments) {
    CliOptions options;
    std::optional<quint16> portOption;
    qsizetype i = 1;
    for (; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(u"--")) {
            break;
        }
        if (argument == u"--") {
            ++i;
            break;
        }
        if (i + 1 >= arguments.size()) {
            return Fail(QStringLiteral("option ") + argument + QStringLiteral(" needs a value"));
        }
        const QString& value = arguments[++i];
        if (argument == u"--user") {
            options.user = value.toUtf8();
        } else if (argument == u"--pass") {
            options.password = value.toUtf8();
        } else if (argument == u"--port") {
            portOption = ParsePort(value);
            if (!portOption) {
                return Fail(QStringLiteral("bad port: ") + value);
            }
        } else if (argument == u"--config-dir") {
            options.configDir = value;
        } else {
            return Fail(QStringLiteral("unknown option: ") + argument);
        }
    }
    if (i >= arguments.size()) {
        return Fail(QStringLiteral("no host given"));
    }
    QString host = arguments[i++];
    // HOST:PORT; the colon of a leading "ftp://" is not a port separator.
    const qsizetype schemeEnd = host.startsWith(u"ftp://", Qt::CaseInsensitive) ? 6 : 0;
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon >= schemeEnd) {
        const std::optional<quint16> port = ParsePort(host.mid(colon + 1));
        if (!port) {
            return Fail(QStringLiteral("bad port in ") + host);
        }
        if (portOption && *portOption != *port) {
            return Fail(QStringLiteral("the port is given twice"));
        }
        portOption = port;
        host.truncate(colon);
    }
    if (host.isEmpty() || host.size() == schemeEnd) {
        return Fail(QStringLiteral("no host given"));
    }
    options.host = host.toUtf8();
    options.port = portOption.value_or(21);
    while (i < arguments.size()) {
        const QString& command = arguments[i++];
        if (command == u"ls" || command == u"up" || command == u"pwd") {
            const CliCommand::Kind kind = command == u"ls"   ? CliCommand::Kind::Ls
                                          : command == u"up" ? CliCommand::Kind::Up
                                                             : CliCommand::Kind::Pwd;
            options.commands.append({kind, {}});
            continue;
        }
        if (command != u"quote" && command != u"cd") {
            return Fail(QStringLiteral("unknown command: ") + command);
        }
        if (i >= arguments.size()) {
            return Fail(command + QStringLiteral(" needs an argument"));
        }
        const QByteArray argument = arguments[i++].toUtf8();
        if (argument.isEmpty() || argument.contains('\r') || argument.contains('\n') ||
            argument.contains('\0')) {
            return Fail(QStringLiteral("an argument cannot be empty or hold line breaks"));
        }
        options.commands.append(
            {command == u"quote" ? CliCommand::Kind::Quote : CliCommand::Kind::Cd, argument});
    }
    return {options, {}};
}

} // namespace tessaly
