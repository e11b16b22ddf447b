#include "support/CliRunner.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>
#include <vector>

namespace tessaly::test {

namespace {

constexpr const char* kPasswordVariable = "TESSALY_PASSWORD";

} // namespace

qsizetype CliRun::count(QByteArrayView fragment) const {
    return std::count_if(lines.begin(), lines.end(),
                         [fragment](const QByteArray& line) { return line.contains(fragment); });
}

Cli::Cli()
    : settings_(config_.filePath(QStringLiteral("tessaly.INI"))),
      environment_(QProcessEnvironment::systemEnvironment()) {
    settings_.WriteInt(u"General", u"WaitTimes", 0);
    environment_.remove(QString::fromLatin1(kPasswordVariable));
}

CliRun Cli::run(const QStringList& arguments, int timeoutMs) {
    const std::unique_ptr<QProcess> process = start(arguments);
    return finish(*process, timeoutMs);
}

std::unique_ptr<QProcess> Cli::start(const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProgram(QStringLiteral(TESSALY_CLI_PATH));
    process->setArguments(QStringList{QStringLiteral("--config-dir"), config_.path()} + arguments);
    process->setProcessEnvironment(environment_);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    process->waitForStarted();
    return process;
}

CliRun Cli::finish(QProcess& process, int timeoutMs) {
    CliRun result;
    // One that has ended already (waitForFinished() is false then) is not waited for.
    const bool ended =
        (process.state() == QProcess::NotRunning && process.error() != QProcess::FailedToStart) ||
        process.waitForFinished(timeoutMs);
    if (!ended) {
        // What it wrote until then tells where it hung.
        process.kill();
        process.waitForFinished();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    static const QRegularExpression stamp(QStringLiteral(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d(:\d{3})?)"));
    QString text = QString::fromUtf8(process.readAllStandardError());
    text.replace(stamp, QStringLiteral("<stamp>"));
    result.lines = text.toUtf8().split('\n');
    if (!result.lines.isEmpty() && result.lines.last().isEmpty()) {
        result.lines.removeLast();
    }
    result.output = process.readAllStandardOutput();
    return result;
}

std::unique_ptr<TerminalCli> Cli::startOnTerminal(const QStringList& arguments) {
    return std::make_unique<TerminalCli>(
        QStringList{QStringLiteral("--config-dir"), config_.path()} + arguments, environment_.toStringList());
}

TerminalCli::TerminalCli(const QStringList& arguments, const QStringList& environment) {
    // Everything the child needs is made before the fork: after it, only exec.
    std::vector<QByteArray> words{QByteArray(TESSALY_CLI_PATH)};
    for (const QString& argument : arguments) {
        words.push_back(argument.toUtf8());
    }
    std::vector<QByteArray> variables;
    for (const QString& variable : environment) {
        variables.push_back(variable.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (QByteArray& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        return;
    }
    // Other children of the test get neither end; the program gets the terminal through login_tty.
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(master_);
        const int terminal = ::dup(slave_); // login_tty closes the one it is given
        if (terminal < 0 || ::login_tty(terminal) != 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

TerminalCli::~TerminalCli() {
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
    for (const int fd : {master_, slave_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void TerminalCli::readAvailable(int waitMs) {
    pollfd ready{master_, POLLIN, 0};
    if (master_ < 0 || ::poll(&ready, 1, waitMs) <= 0) {
        return;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0) {
            return;
        }
        output_.append(buffer, got);
    }
}

bool TerminalCli::waitForOutput(QByteArrayView text, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!output_.contains(text)) {
        if (deadline.hasExpired()) {
            return false;
        }
        readAvailable(20);
    }
    return true;
}

bool TerminalCli::echoOn() const {
    termios settings{};
    return ::tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

bool TerminalCli::waitForEcho(bool on, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (echoOn() != on) {
        if (deadline.hasExpired()) {
            return false;
        }
        readAvailable(20);
    }
    return true;
}

void TerminalCli::type(QByteArrayView keys) {
    if (master_ >= 0) {
        [[maybe_unused]] const ssize_t written =
            ::write(master_, keys.data(), static_cast<size_t>(keys.size()));
    }
}

bool TerminalCli::waitForExit(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (pid_ > 0 && !ended_) {
        readAvailable(20);
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
            ended_ = true;
        } else if (deadline.hasExpired()) {
            return false;
        }
    }
    readAvailable(0); // what it wrote last
    return ended_;
}

int TerminalCli::exitCode() const {
    return ended_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int TerminalCli::terminatingSignal() const {
    return ended_ && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0;
}

} // namespace tessaly::test
