#pragma once

#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <sys/types.h>

namespace tessaly::test {

struct CliRun {
    int exitCode = -1;
    QList<QByteArray> lines; // standard error, time stamps replaced by "<stamp>"
    QByteArray output;       // standard output
    std::string text() const { return lines.join('\n').toStdString(); }
    // How many lines of standard error hold `fragment`.
    qsizetype count(QByteArrayView fragment) const;
};

class TerminalCli;

// Runs tessaly-cli with a settings directory of its own (no waits between connection attempts), in the
// test's environment without TESSALY_PASSWORD unless environment() is given one.
class Cli {
public:
    Cli();
    SettingsStore& settings() { return settings_; }
    QProcessEnvironment& environment() { return environment_; }

    // With pipes for standard output and error and no terminal on standard input. One that still runs
    // after timeoutMs is killed: its exitCode is -1, and its output is what it wrote until then.
    CliRun run(const QStringList& arguments, int timeoutMs = 60000);
    // The same in two halves: start() returns once it runs, finish() waits for its end as run() does.
    // Destroying the process object before it has ended kills it by its PID.
    std::unique_ptr<QProcess> start(const QStringList& arguments);
    static CliRun finish(QProcess& process, int timeoutMs = 60000);
    // On a pseudo-terminal of its own.
    std::unique_ptr<TerminalCli> startOnTerminal(const QStringList& arguments);

private:
    QTemporaryDir config_;
    SettingsStore settings_;
    QProcessEnvironment environment_;
};

// tessaly-cli on a pseudo-terminal, which is its standard input, output and error and its controlling
// terminal, as when a user runs it in a terminal window. The destructor ends it by PID if it still
// runs.
class TerminalCli {
public:
    TerminalCli(const QStringList& arguments, const QStringList& environment);
    ~TerminalCli();
    TerminalCli(const TerminalCli&) = delete;
    TerminalCli& operator=(const TerminalCli&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Reads what the program writes until `text` has shown up (true) or timeoutMs have passed.
    bool waitForOutput(QByteArrayView text, int timeoutMs);
    // Waits until the terminal echoes typed keys (`on`) or not; false when it did not come to that.
    bool waitForEcho(bool on, int timeoutMs);
    bool echoOn() const;
    // Types on the keyboard: the bytes reach the program through the terminal ("\x03" is Ctrl+C).
    void type(QByteArrayView keys);
    // Reads what the program writes until it has ended; false when it still runs after timeoutMs.
    bool waitForExit(int timeoutMs);

    // Once it has ended: its exit code (-1 when a signal ended it), or the signal that ended it (0 for
    // none).
    int exitCode() const;
    int terminatingSignal() const;
    // All the terminal received so far, byte for byte (the terminal turns each LF into CR LF).
    const QByteArray& output() const { return output_; }

private:
    void readAvailable(int waitMs);

    int master_ = -1;
    int slave_ = -1; // kept open so the terminal's settings can be read after the program has ended
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = 0;
    QByteArray output_;
};

} // namespace tessaly::test
