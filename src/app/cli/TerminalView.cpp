#include "app/cli/TerminalView.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace tessaly {

namespace {

void WriteErr(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

// Reads one line from the terminal, without echo when asked.
QByteArray ReadTerminalLine(bool echo) {
    termios saved{};
    const bool isTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (!echo && isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (!echo && isTerminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        WriteErr("\n");
    }
    return QByteArray::fromStdString(line);
}

} // namespace

void TerminalView::AppendLog(const QByteArray& text, LogColour /*colour*/) {
    QByteArray line = text;
    line.replace("\r\n", "\n");
    WriteErr(line);
}

bool TerminalView::AskLogin(LoginRequest& request) {
    if (::isatty(STDIN_FILENO) == 0) {
        return false;
    }
    WriteErr("Login to " + request.host + "\nUser name [" + request.userName + "]: ");
    const QByteArray user = ReadTerminalLine(true);
    if (!std::cin) {
        return false;
    }
    if (!user.isEmpty()) {
        request.userName = user;
    }
    WriteErr("Password: ");
    request.password = ReadTerminalLine(false);
    return static_cast<bool>(std::cin) && !request.userName.isEmpty();
}

void TerminalView::ShowFailedCommands(const std::vector<FailureRecord>& records) {
    reportedFailures_ = true;
    QByteArray report = "Some commands execute failed,please see more details.\n";
    for (const FailureRecord& record : records) {
        const QByteArray prefix = record.kind == FailureRecord::Kind::Command ? "Command:>" : "         ";
        for (const QByteArray& line : record.text.split('\n')) {
            const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
            if (!trimmed.isEmpty()) {
                report += prefix + trimmed + '\n';
            }
        }
    }
    WriteErr(report);
}

void TerminalView::SessionLoggedIn() {
    loggedIn_ = true;
}

void TerminalView::SessionIdle() {
    if (onIdle) {
        onIdle();
    }
}

void TerminalView::SessionClosed() {
    if (onClosed) {
        onClosed();
    }
}

} // namespace tessaly
