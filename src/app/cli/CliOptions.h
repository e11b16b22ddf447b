#pragma once

#include "settings/SettingsStore.h"
#include "transfer/ConflictQuestion.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// The command line of tessaly-cli:
//   tessaly-cli [--user NAME] [--pass PASSWORD | --pass-file FILE] [--port N] [--config-dir DIR]
//               [--on-conflict overwrite|resume|rename|skip|cancel] [--timeout SECONDS]
//               HOST[:PORT] [COMMAND ...]
//   tessaly-cli [OPTION ...] ftp://[USER[:PASSWORD]@]HOST[:PORT][/PATH] [COMMAND ...]
//   tessaly-cli [--pass PASSWORD | --pass-file FILE] [--config-dir DIR] ... --site LABEL [COMMAND ...]
//   tessaly-cli [--config-dir DIR] --sites
//   tessaly-cli --help | --version
// --site takes the host, user, port and remote path of the first saved site with that label, and its
// password when none is given (the password sources below, before the anonymous e-mail); --sites
// prints the saved sites.
// The password is the first of: --pass or --pass-file (not both), the environment variable
// TESSALY_PASSWORD when it is set and not empty, none (anonymous logins then send the configured
// e-mail address). The commands run in order after login:
//   quote LINE  send LINE to the server as it is
//   ls          print the items of the current listing
//   cd PATH     change directory (PATH absolute, or below the current directory)
//   up          go to the parent directory
//   pwd         print the current directory
//   put LOCAL [REMOTE-DIR]  upload a file or directory (REMOTE-DIR: cd there first)
//   mkdir NAME, rename OLD NEW, chmod MODE NAME, rm NAME, passwd
//   idle SECONDS  stay connected and idle that long (0 to kMaxIdleSeconds)
struct CliCommand {
    enum class Kind { Quote, Ls, Cd, Up, Pwd, Get, Put, Mkdir, Rename, Chmod, Rm, Passwd, Idle };
    Kind kind;
    QByteArray argument;
    QString localDirectory = {}; // get: where the file goes; empty: the working directory
    QString localPath = {};      // put: the file or directory to upload
    QByteArray second = {};      // rename: the new name; chmod: the name
    int seconds = 0;             // idle: how long
    friend bool operator==(const CliCommand&, const CliCommand&) = default;
};

struct CliOptions {
    bool help = false;      // --help: print the usage and do nothing else
    bool version = false;   // --version: print the version and do nothing else
    bool listSites = false; // --sites: print the saved sites and do nothing else
    // --site LABEL: the saved site to connect to (then host and port are empty here).
    std::optional<QByteArray> siteLabel;
    QByteArray host;
    quint16 port = 21;
    QByteArray directory; // the path of an ftp:// address: the start directory; empty: the login one
    std::optional<QByteArray> user;
    std::optional<QByteArray> password;
    QString configDir;
    // What a transfer does with a file whose target exists (--on-conflict); none cancels the job.
    std::optional<ConflictChoice> onConflict;
    // --timeout: the reply, connect and transfer time-outs for this run, in seconds (1 or more).
    std::optional<int> timeoutSeconds;
    QList<CliCommand> commands;
};

inline constexpr int kMaxIdleSeconds = 24 * 60 * 60;

// Turns the time-outs on in `settings` for this run only (transient values, never written): the
// connect and reply time-outs of `seconds`, the transfer inactivity time-outs, which count whole
// minutes, of `seconds` rounded up to minutes. The engine cuts a period longer than its timers hold.
void ApplyTimeoutOption(SettingsStore& settings, int seconds);

// What the process environment adds to the command line.
struct CliEnvironment {
    std::optional<QByteArray> password; // TESSALY_PASSWORD

    static constexpr const char* kPasswordVariable = "TESSALY_PASSWORD";
    static CliEnvironment FromProcess();
};

struct CliParseResult {
    std::optional<CliOptions> options; // empty on a usage error
    QString error;
};

// Parses the arguments (the program name first). Reads the file of --pass-file; one that cannot be
// read is a usage error.
CliParseResult ParseCliArguments(const QStringList& arguments, const CliEnvironment& environment = {});
const char* CliUsage();

} // namespace tessaly
