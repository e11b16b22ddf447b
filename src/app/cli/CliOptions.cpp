#include "app/cli/CliOptions.h"

#include "settings/SettingKeys.h"
#include "sites/FtpUrl.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <limits>

namespace tessaly {

namespace {

// The commands after the host: how many arguments each takes, and whether a directory may follow.
struct CommandSyntax {
    const char16_t* name;
    CliCommand::Kind kind;
    int arguments;
    bool optionalDirectory;
};

constexpr std::array<CommandSyntax, 13> kCommandSyntax = {{
    {u"ls", CliCommand::Kind::Ls, 0, false},
    {u"up", CliCommand::Kind::Up, 0, false},
    {u"pwd", CliCommand::Kind::Pwd, 0, false},
    {u"passwd", CliCommand::Kind::Passwd, 0, false},
    {u"quote", CliCommand::Kind::Quote, 1, false},
    {u"cd", CliCommand::Kind::Cd, 1, false},
    {u"mkdir", CliCommand::Kind::Mkdir, 1, false},
    {u"rm", CliCommand::Kind::Rm, 1, false},
    {u"idle", CliCommand::Kind::Idle, 1, false},
    {u"get", CliCommand::Kind::Get, 1, true},
    {u"put", CliCommand::Kind::Put, 1, true},
    {u"rename", CliCommand::Kind::Rename, 2, false},
    {u"chmod", CliCommand::Kind::Chmod, 2, false},
}};

const CommandSyntax* FindCommand(const QString& word) {
    const auto found =
        std::find_if(kCommandSyntax.begin(), kCommandSyntax.end(),
                     [&](const CommandSyntax& syntax) { return word == QStringView(syntax.name); });
    return found == kCommandSyntax.end() ? nullptr : &*found;
}

bool IsOctalMode(const QByteArray& mode) {
    return mode.size() == 3 &&
           std::all_of(mode.begin(), mode.end(), [](char c) { return c >= '0' && c <= '7'; });
}

// A password file whose first line is longer than this is refused rather than read to its end (it
// may be a device that never ends a line).
constexpr qsizetype kMaxPasswordLength = 4096;

// A whole number of ASCII digits from `low` to `high`; nothing for anything else (a sign, blanks, a
// fraction, a number out of range).
std::optional<int> ParseCount(QStringView text, int low, int high) {
    if (text.isEmpty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    const qint64 value = text.toLongLong();
    if (value < low || value > high) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// The time-outs --timeout turns on: each key with the seconds its unit holds.
struct TimeoutKey {
    const SettingKey* key;
    int unitSeconds;
};
constexpr std::array<TimeoutKey, 4> kTimeoutKeys = {{
    {&setting::kConnectionTimeout, 1},
    {&setting::kFtpCommandTimeout, 1},
    {&setting::kFileUploadTimeout, 60},
    {&setting::kFileDownloadTimeout, 60},
}};

std::optional<quint16> ParsePort(const QString& text) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

// The values of --on-conflict; "cancel" (the default) has no choice.
struct ConflictOption {
    const char16_t* value;
    std::optional<ConflictChoice> choice;
};
constexpr std::array<ConflictOption, 5> kConflictOptions = {{
    {u"overwrite", ConflictChoice::Overwrite},
    {u"resume", ConflictChoice::Resume},
    {u"rename", ConflictChoice::Rename},
    {u"skip", ConflictChoice::Ignore},
    {u"cancel", std::nullopt},
}};

CliParseResult Fail(const QString& error) {
    return {std::nullopt, error};
}

// The first line of the file, without its line end (LF or CR LF); nothing, with *error set, when the
// file cannot be read.
std::optional<QByteArray> ReadPasswordFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine(kMaxPasswordLength + 3);
    if (line.isEmpty() && file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (line.endsWith('\n')) {
        line.chop(line.endsWith("\r\n") ? 2 : 1);
    }
    if (line.size() > kMaxPasswordLength) {
        *error = QStringLiteral("the first line of the password file %1 is too long").arg(path);
        return std::nullopt;
    }
    return line;
}

} // namespace

void ApplyTimeoutOption(SettingsStore& settings, int seconds) {
    settings.SetTransient(setting::kUseTimeout.section, setting::kUseTimeout.key, QStringLiteral("1"));
    for (const TimeoutKey& timeout : kTimeoutKeys) {
        const qint64 units = (qint64{seconds} + timeout.unitSeconds - 1) / timeout.unitSeconds;
        settings.SetTransient(timeout.key->section, timeout.key->key, QString::number(units));
    }
}

CliEnvironment CliEnvironment::FromProcess() {
    CliEnvironment environment;
    const QByteArray password = qgetenv(kPasswordVariable);
    if (!password.isEmpty()) {
        environment.password = password;
    }
    return environment;
}

const char* CliUsage() {
    return "usage: tessaly-cli [--user NAME] [--pass PASSWORD | --pass-file FILE] [--port N]\n"
           "                   [--config-dir DIR] [--on-conflict ACTION] [--timeout SECONDS]\n"
           "                   HOST[:PORT] [COMMAND ...]\n"
           "       tessaly-cli [OPTION ...] ftp://[USER[:PASSWORD]@]HOST[:PORT][/PATH] [COMMAND ...]\n"
           "       tessaly-cli [--pass PASSWORD | --pass-file FILE] [--config-dir DIR]\n"
           "                   [--on-conflict ACTION] [--timeout SECONDS] --site LABEL [COMMAND ...]\n"
           "       tessaly-cli [--config-dir DIR] --sites\n"
           "       tessaly-cli --help | --version\n"
           "ftp://... gives the user, password (%XX-encoded bytes are decoded), port and the start\n"
           "  directory PATH in one address, in place of HOST[:PORT]\n"
           "--site LABEL connects to the first saved site with that label: its host, user, port and\n"
           "  remote path (the start directory), and its password unless one is given below\n"
           "--sites prints the saved sites, one a line, tab-separated: label, host, port, user, remote\n"
           "  path (never the password)\n"
           "password, the first of:\n"
           "  --pass PASSWORD   on the command line, where every local user can read it in the process\n"
           "                    list: prefer --pass-file or TESSALY_PASSWORD\n"
           "  --pass-file FILE  the first line of FILE\n"
           "  TESSALY_PASSWORD  this environment variable, when it is set and not empty\n"
           "  (--site)          the saved site's password\n"
           "  (none)            anonymous logins send the e-mail address set in the settings\n"
           "--on-conflict ACTION, what a transfer does with a file whose target exists:\n"
           "  cancel     stop the whole transfer job (the default)\n"
           "  overwrite  replace the target\n"
           "  resume     append what the target lacks; overwrite when it cannot be resumed (the server\n"
           "             has no REST, or the target is not shorter than the source)\n"
           "  rename     write the file beside the target as Temp_name_of_NAME\n"
           "  skip       leave the target alone and go on with the next file\n"
           "--timeout SECONDS\n"
           "  for this run only (the settings file is not changed): a connection attempt, a\n"
           "  command's reply and a transfer that stands still (counted in whole minutes, rounded up)\n"
           "  time out after SECONDS; the attempt is retried or given up, the command or job aborted\n"
           "Ctrl+C (or SIGTERM) aborts what runs as Abort does (ABOR for a transfer; the partial\n"
           "file stays, for a later get to resume), closes the session and exits with 130 (143 for\n"
           "SIGTERM); a second Ctrl+C while the server has not answered ends at once\n"
           "commands, run in order after login:\n"
           "  quote LINE   send LINE to the server as it is\n"
           "  ls           print the current listing: type, name, size, date, time, permissions\n"
           "  cd PATH      change directory (absolute, or below the current one)\n"
           "  up           go to the parent directory\n"
           "  pwd          print the current directory\n"
           "  get REMOTE [LOCAL-DIR]\n"
           "               download REMOTE (a file or directory of the current listing, or a file's\n"
           "               path) into LOCAL-DIR (default: the working directory); a directory comes\n"
           "               whole, with everything below it\n"
           "  put LOCAL [REMOTE-DIR]\n"
           "               upload the file or directory LOCAL (a directory whole, hidden files included)\n"
           "               into the current directory, or into REMOTE-DIR (changed into first)\n"
           "  mkdir NAME   make a directory\n"
           "  rename OLD NEW\n"
           "               rename OLD to NEW\n"
           "  chmod MODE NAME\n"
           "               set NAME's permissions to MODE, three octal digits such as 644\n"
           "  rm NAME      delete NAME of the current listing: a file, or a directory with everything below "
           "it\n"
           "               (links are deleted themselves, never followed)\n"
           "  passwd       change the password: the old and the new one are read from standard input,\n"
           "               one a line\n"
           "  idle SECONDS stay connected and idle for SECONDS (0 to 86400): the keep-alive the\n"
           "               settings turn on keeps the connection open meanwhile\n"
           "on a terminal, control characters from the server are shown as \\xNN and a backslash as \\\\;\n"
           "pipes and files get the bytes as they are\n"
           "exit status: 0 logged in and every command succeeded, 1 logged in but a command failed,\n"
           "             2 the session ended before or during login, 64 bad arguments,\n"
           "             130 interrupted (Ctrl+C), 143 terminated (SIGTERM)\n";
}

CliParseResult ParseCliArguments(const QStringList& arguments, const CliEnvironment& environment) {
    CliOptions options;
    std::optional<quint16> portOption;
    std::optional<QString> passwordFile;
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
        if (argument == u"--help") {
            options.help = true;
            return {options, {}};
        }
        if (argument == u"--version") {
            options.version = true;
            return {options, {}};
        }
        if (argument == u"--sites") {
            options.listSites = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            return Fail(QStringLiteral("option ") + argument + QStringLiteral(" needs a value"));
        }
        const QString& value = arguments[++i];
        if (argument == u"--user") {
            options.user = value.toUtf8();
        } else if (argument == u"--site") {
            options.siteLabel = value.toUtf8();
        } else if (argument == u"--pass" || argument == u"--pass-file") {
            if (options.password || passwordFile) {
                return Fail(QStringLiteral("the password is given twice (--pass, --pass-file)"));
            }
            if (argument == u"--pass") {
                options.password = value.toUtf8();
            } else {
                passwordFile = value;
            }
        } else if (argument == u"--port") {
            portOption = ParsePort(value);
            if (!portOption) {
                return Fail(QStringLiteral("bad port: ") + value);
            }
        } else if (argument == u"--config-dir") {
            options.configDir = value;
        } else if (argument == u"--on-conflict") {
            const auto known =
                std::find_if(kConflictOptions.begin(), kConflictOptions.end(),
                             [&value](const ConflictOption& o) { return value == QStringView(o.value); });
            if (known == kConflictOptions.end()) {
                return Fail(QStringLiteral("bad --on-conflict action: %1 (overwrite, resume, rename, skip "
                                           "or cancel)")
                                .arg(value));
            }
            options.onConflict = known->choice;
        } else if (argument == u"--timeout") {
            options.timeoutSeconds = ParseCount(value, 1, std::numeric_limits<int>::max());
            if (!options.timeoutSeconds) {
                return Fail(QStringLiteral("bad --timeout: %1 (seconds, 1 or more)").arg(value));
            }
        } else {
            return Fail(QStringLiteral("unknown option: ") + argument);
        }
    }
    if (options.listSites) {
        if (i < arguments.size()) {
            return Fail(QStringLiteral("--sites takes no host and no command"));
        }
        return {options, {}};
    }
    if (options.siteLabel) {
        // The saved site gives the host, user and port.
        if (options.user || portOption) {
            return Fail(
                QStringLiteral("--site gives the user and port: --user and --port cannot go with it"));
        }
    } else {
        if (i >= arguments.size()) {
            return Fail(QStringLiteral("no host given"));
        }
        const QString& address = arguments[i++];
        if (IsFtpUrl(address.toUtf8())) {
            // ftp://[user[:password]@]host[:port][/path]
            const FtpUrlResult url = ParseFtpUrl(address.toUtf8());
            if (!url.url) {
                return Fail(url.error);
            }
            if ((url.url->user && options.user) ||
                (url.url->password && (options.password || passwordFile))) {
                return Fail(
                    QStringLiteral("the user or password is given twice (in the address and as an option)"));
            }
            if (url.url->port && portOption && *portOption != *url.url->port) {
                return Fail(QStringLiteral("the port is given twice"));
            }
            options.host = url.url->host;
            options.directory = url.url->path;
            portOption = url.url->port ? url.url->port : portOption;
            options.user = url.url->user ? url.url->user : options.user;
            options.password = url.url->password ? url.url->password : options.password;
        } else {
            QString host = address;
            const qsizetype colon = host.lastIndexOf(u':');
            if (colon >= 0) {
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
            if (host.isEmpty()) {
                return Fail(QStringLiteral("no host given"));
            }
            options.host = host.toUtf8();
        }
        options.port = portOption.value_or(21);
    }
    while (i < arguments.size()) {
        const QString& command = arguments[i++];
        const CommandSyntax* syntax = FindCommand(command);
        if (!syntax) {
            return Fail(QStringLiteral("unknown command: ") + command);
        }
        if (i + syntax->arguments > arguments.size()) {
            return Fail(command + QStringLiteral(" needs an argument"));
        }
        CliCommand parsed{syntax->kind, {}};
        for (int n = 0; n < syntax->arguments; ++n) {
            const QByteArray argument = arguments[i++].toUtf8();
            if (argument.isEmpty() || argument.contains('\r') || argument.contains('\n') ||
                argument.contains('\0')) {
                return Fail(QStringLiteral("an argument cannot be empty or hold line breaks"));
            }
            (n == 0 ? parsed.argument : parsed.second) = argument;
        }
        if (syntax->kind == CliCommand::Kind::Chmod && !IsOctalMode(parsed.argument)) {
            return Fail(QStringLiteral("chmod needs a mode of three octal digits, such as 644"));
        }
        if (syntax->kind == CliCommand::Kind::Idle) {
            const std::optional<int> seconds =
                ParseCount(QString::fromUtf8(parsed.argument), 0, kMaxIdleSeconds);
            if (!seconds) {
                return Fail(
                    QStringLiteral("idle needs a number of seconds from 0 to %1").arg(kMaxIdleSeconds));
            }
            parsed.seconds = *seconds;
        }
        // get and put take a directory, unless the next word is a command.
        QString directory;
        if (syntax->optionalDirectory && i < arguments.size() && !FindCommand(arguments[i])) {
            directory = arguments[i++];
        }
        if (syntax->kind == CliCommand::Kind::Get) {
            parsed.localDirectory = directory;
        } else if (syntax->kind == CliCommand::Kind::Put) {
            // put LOCAL REMOTE-DIR changes into REMOTE-DIR first.
            if (!directory.isEmpty()) {
                options.commands.append({CliCommand::Kind::Cd, directory.toUtf8()});
            }
            parsed.localPath = QString::fromUtf8(parsed.argument);
        }
        options.commands.append(parsed);
    }
    // The command line overrides the environment.
    if (passwordFile) {
        QString error;
        options.password = ReadPasswordFile(*passwordFile, &error);
        if (!options.password) {
            return Fail(error);
        }
    } else if (!options.password) {
        options.password = environment.password;
    }
    return {options, {}};
}

} // namespace tessaly
