// Drives the whole session engine from a script of server bytes. The fuzzer plays the server on
// loopback sockets inside this process: the engine connects to its control listener, and every
// other connect the engine makes (the data connection, wherever a PASV reply points) is turned to
// its data listener, so nothing leaves the machine whatever the replies say. While the script is fed
// in order, a fixed sequence of user commands runs whenever the engine is idle: log on (the first
// listing), a download, a change of directory, a delete, a new directory, an upload. Timers fire only
// when the script says so. What it finds are faults of the state machine: assertions, ASan, UBSan,
// and the view's checks below.
//
// Input: one options byte, then chunks of a kind byte, a length byte and that many bytes:
//   kind % 8 = 0, 1, 2: bytes the server sends on the control connection;
//              3: bytes sent on the data connection (accepted, or connected for PORT, first);
//              4: the server closes the data connection;
//              5: a timer fires (the first byte chooses which);
//              6: the server closes the control connection;
//              7: the user aborts the running command.
// The options byte: bits 0-1 choose the session kind (passive or active, binary or ASCII), bit 2
// answers the login question, bits 3-6 the conflict question. TESSALY_FUZZ_TRACE=1 prints the
// engine's log, its commands and its state after each chunk to stderr (to read a crash's input).
#include "FuzzCheck.h"
#include "session/SessionEngine.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMetaObject>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using tessaly::fuzz::Check;

using ConnectFunction = int (*)(int, const sockaddr*, socklen_t);

ConnectFunction RealConnect() {
    static const auto real = reinterpret_cast<ConnectFunction>(dlsym(RTLD_NEXT, "connect"));
    return real;
}

quint16 controlPort = 0; // host order
quint16 dataPort = 0;

// A view that checks what the engine asks of it: rows it names exist, and their tasks are alive.
class CheckingView : public tessaly::EngineView {
public:
    bool answerLogin = false;
    tessaly::ConflictAnswer conflictAnswer{};
    int idleCount = 0;
    int loggedInCount = 0;

    bool trace = false;

    void AppendLog(const QByteArray& text, tessaly::LogColour) override {
        Check(!text.isEmpty());
        if (trace) {
            std::fprintf(stderr, "log  %s", text.constData());
        }
    }
    void SetPaneEnabled(bool) override {}
    void SetPaneBusy(bool) override {}
    void ClearPane() override {}
    void SetPath(const QByteArray&) override {}
    void ShowListing(const tessaly::ListingItems& items) override {
        for (const QList<tessaly::RemoteItem>* kind : {&items.directories, &items.files}) {
            for (const tessaly::RemoteItem& item : *kind) {
                Check(item.valid() && !item.name().isEmpty());
            }
        }
    }
    void AddTaskRow(const tessaly::TransferTask& task, bool append) override {
        if (append) {
            rows_.push_back(&task);
        } else {
            rows_.insert(rows_.begin(), &task);
        }
    }
    void RemoveTaskRow(int row) override {
        Touch(row);
        rows_.erase(rows_.begin() + row);
    }
    void ClearTasks() override { rows_.clear(); }
    void SetTaskCell(int row, tessaly::TaskColumn, const QString&) override { Touch(row); }
    void ShowTaskProgress(int row, qint64, qint64) override { Touch(row); }
    void SetTaskProgress(int row, qint64) override { Touch(row); }
    void SetTaskRedraw(bool) override {}
    void SetTransferStatus(const QString&, const QString&) override {}
    void SetWaitCursor(bool) override {}
    void RefreshLocalPane() override {}
    void OpenFetchedFile(const QString&, tessaly::FetchedFileAction) override {}
    QString WindowTitle() const override { return title_; }
    void SetWindowTitle(const QString& title) override { title_ = title; }
    bool AskLogin(tessaly::LoginRequest& request) override {
        request.userName = "fuzz";
        request.password = "secret";
        return answerLogin;
    }
    void ShowServerMessages(const QList<QByteArray>&) override {}
    void ShowFailedCommands(const std::vector<tessaly::FailureRecord>&) override {}
    tessaly::ConflictAnswer AskConflict(const tessaly::ConflictQuestion&) override { return conflictAnswer; }
    void SessionLoggedIn() override { ++loggedInCount; }
    void SessionIdle() override { ++idleCount; }

private:
    // The row exists, and its task is alive (ASan reports a task freed while its row stayed).
    void Touch(int row) {
        Check(row >= 0 && row < static_cast<int>(rows_.size()));
        volatile qint64 size = rows_[static_cast<std::size_t>(row)]->totalSize;
        (void)size;
    }

    std::vector<const tessaly::TransferTask*> rows_;
    QString title_;
};

// Small writes go out at once: with Nagle's algorithm a reply could wait for the ACK of the one
// before it (up to 40 ms on loopback), and the script would run ahead of it.
void NoDelay(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int Listen(quint16& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    Check(fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::listen(fd, 64) == 0 && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    port = ntohs(address.sin_port);
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// The server side: the listeners stay for the whole run, the connections are of one input.
struct Server {
    int controlListener = -1;
    int dataListener = -1;
    int control = -1;
    std::vector<int> data; // the newest last
    QByteArray commands;   // what the engine sent on the control connection, not yet looked at
    sockaddr_in portAddress{};
    bool closing = false; // after the script: connections that come are closed at once
    bool trace = false;   // TESSALY_FUZZ_TRACE=1: the engine's commands go to stderr

    // Accepts, reads and discards what is there; true when anything happened.
    bool Service() {
        bool did = false;
        for (int fd;
             (fd = ::accept4(controlListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
            did = true;
            NoDelay(fd);
            if (closing) {
                ::close(fd);
            } else {
                CloseFd(control);
                control = fd;
                commands.clear();
            }
        }
        for (int fd; (fd = ::accept4(dataListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
            did = true;
            NoDelay(fd);
            data.push_back(fd);
            if (trace) {
                std::fprintf(stderr, "data connection accepted\n");
            }
        }
        char buffer[8192];
        if (control >= 0) {
            const ssize_t got = ::read(control, buffer, sizeof buffer);
            if (got > 0) {
                did = true;
                commands.append(buffer, got);
                TakePortCommands();
            } else if (got == 0) {
                did = true;
                CloseFd(control);
            }
        }
        for (int& fd : data) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got >= 0) {
                did = true;
            }
            if (got == 0) {
                CloseFd(fd);
            }
        }
        std::erase(data, -1);
        return did;
    }

    // Remembers the address of the last PORT command; drops the complete lines.
    void TakePortCommands() {
        qsizetype end;
        while ((end = commands.indexOf("\r\n")) >= 0) {
            const QByteArray line = commands.left(end);
            commands.remove(0, end + 2);
            if (trace) {
                std::fprintf(stderr, "engine> %s\n", line.constData());
            }
            unsigned a[6];
            if (line.startsWith("PORT ") && std::sscanf(line.constData() + 5, "%u,%u,%u,%u,%u,%u", &a[0],
                                                        &a[1], &a[2], &a[3], &a[4], &a[5]) == 6) {
                portAddress.sin_family = AF_INET;
                portAddress.sin_addr.s_addr = htonl((a[0] << 24) | (a[1] << 16) | (a[2] << 8) | a[3]);
                portAddress.sin_port = htons(static_cast<quint16>((a[4] << 8) | a[5]));
            }
        }
    }

    int DataConnection() {
        if (data.empty() && portAddress.sin_family == AF_INET &&
            portAddress.sin_addr.s_addr == htonl(INADDR_LOOPBACK)) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (RealConnect()(fd, reinterpret_cast<const sockaddr*>(&portAddress), sizeof portAddress) == 0) {
                ::fcntl(fd, F_SETFL, O_NONBLOCK);
                NoDelay(fd);
                data.push_back(fd);
            } else {
                ::close(fd);
            }
            portAddress = {};
        }
        return data.empty() ? -1 : data.back();
    }

    void Send(int fd, const char* bytes, std::size_t length) {
        if (fd >= 0) {
            (void)::send(fd, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
    }

    // Closes the connections, also those still waiting to be accepted, so that none reaches the
    // next input; while closingNow, connections that come are closed at once.
    void Reset(bool closingNow) {
        CloseFd(control);
        for (int& fd : data) {
            CloseFd(fd);
        }
        for (const int listener : {controlListener, dataListener}) {
            for (int fd; (fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                ::close(fd);
            }
        }
        data.clear();
        commands.clear();
        portAddress = {};
        closing = closingNow;
    }
};

Server server;

struct Fixture {
    QTemporaryDir dir;
    QString downloads;
    QString uploadFile;
    std::vector<tessaly::SettingsStore> settings;
};

Fixture* fixture = nullptr;

// Runs the loop and the server until nothing happens any more (bounded).
void Pump() {
    QAbstractEventDispatcher* dispatcher = QCoreApplication::eventDispatcher();
    int quiet = 0;
    for (int round = 0; round < 400 && quiet < 3; ++round) {
        const bool events = dispatcher->processEvents(QEventLoop::AllEvents);
        const bool served = server.Service();
        quiet = events || served ? 0 : quiet + 1;
    }
}

void FireTimer(const QTimer& timer) {
    auto& mutableTimer = const_cast<QTimer&>(timer);
    if (mutableTimer.isActive()) {
        if (mutableTimer.isSingleShot()) {
            mutableTimer.stop();
        }
        QMetaObject::invokeMethod(&mutableTimer, "timeout", Qt::DirectConnection);
    }
}

// The user's commands, one each time the engine is idle and logged in.
bool RunNextCommand(tessaly::SessionEngine& engine, int step) {
    const tessaly::ListingItems& items = engine.CurrentItems();
    switch (step) {
    case 0:
        if (!items.files.isEmpty()) {
            return engine.DownloadItems({items.files.first()}, fixture->downloads);
        }
        return engine.DownloadByPath("/pub/hello.txt", fixture->downloads);
    case 1:
        if (!items.directories.isEmpty()) {
            return (engine.ChangeDirectory("/" + items.directories.first().name().toByteArray(), false),
                    true);
        }
        return (engine.ChangeDirectory("/pub", false), true);
    case 2: {
        QList<tessaly::RemoteItem> all = items.directories;
        all += items.files;
        return !all.isEmpty() && engine.DeleteItems({all.last()});
    }
    case 3:
        return engine.MakeDirectory("made");
    case 4:
        return engine.UploadPaths({fixture->uploadFile});
    default:
        return false;
    }
}

} // namespace

// Every connect but the engine's control connect goes to the data listener, on loopback.
extern "C" int connect(int fd, const sockaddr* address, socklen_t length) {
    if (controlPort == 0 || (address != nullptr && address->sa_family == AF_UNIX)) {
        return RealConnect()(fd, address, length); // before the run, or a local socket of the C library
    }
    if (address == nullptr || address->sa_family != AF_INET || length < sizeof(sockaddr_in)) {
        errno = ENETUNREACH;
        return -1;
    }
    sockaddr_in target = *reinterpret_cast<const sockaddr_in*>(address);
    const bool control =
        target.sin_addr.s_addr == htonl(INADDR_LOOPBACK) && ntohs(target.sin_port) == controlPort;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(control ? controlPort : dataPort);
    NoDelay(fd);
    return RealConnect()(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication application(*argc, *argv);
    static Fixture theFixture;
    fixture = &theFixture;
    Check(fixture->dir.isValid());
    fixture->downloads = fixture->dir.filePath(QStringLiteral("downloads"));
    fixture->uploadFile = fixture->dir.filePath(QStringLiteral("up.txt"));
    QFile upload(fixture->uploadFile);
    Check(upload.open(QIODevice::WriteOnly) && upload.write("one\ntwo\r\nthree\n") > 0);
    // Four kinds of session: passive or active, binary by extension or always ASCII; each with the
    // reply time-out on, one retry and no waits, and no keep-alive but by the script's timer. The
    // values are transient over a file that does not exist, so no read of a setting touches a disk.
    for (int variant = 0; variant < 4; ++variant) {
        tessaly::SettingsStore store(fixture->dir.filePath(QStringLiteral("absent.INI")));
        store.SetTransient(u"General", u"WaitTimes", QStringLiteral("0"));
        store.SetTransient(u"General", u"RetryNumber", QStringLiteral("2"));
        store.SetTransient(u"General", u"UseTimeout", QStringLiteral("1"));
        store.SetTransient(u"Advance", u"PasvMode", QString::number(variant & 1));
        store.SetTransient(u"Advance", u"TransferType", QString::number(variant & 2 ? 2 : 1));
        fixture->settings.push_back(store);
    }
    server.trace = qgetenv("TESSALY_FUZZ_TRACE") == "1";
    server.controlListener = Listen(controlPort);
    server.dataListener = Listen(dataPort);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t options = data[0];
    QDir().mkpath(fixture->downloads);
    CheckingView view;
    view.answerLogin = (options & 4) != 0;
    view.trace = server.trace;
    view.conflictAnswer.cancelled = (options & 0x40) != 0;
    view.conflictAnswer.choice = static_cast<tessaly::ConflictChoice>((options >> 3) & 3);
    view.conflictAnswer.remember = (options & 0x20) != 0;
    {
        tessaly::SessionEngine engine(view, fixture->settings[options & 3]);
        engine.SetClock([] { return QDateTime(QDate(2026, 12, 8), QTime(9, 10, 11, 12)); });
        engine.SetRandom([] { return 7u; });
        tessaly::SessionEngine::StartRequest request;
        request.host = "127.0.0.1";
        request.port = controlPort;
        engine.StartSession(request);
        Pump();

        int step = 0;
        std::size_t at = 1;
        while (at + 2 <= size) {
            const int kind = data[at] % 8;
            const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
            const char* bytes = reinterpret_cast<const char*>(data + at + 2);
            at += 2 + length;
            switch (kind) {
            case 3:
                server.Send(server.DataConnection(), bytes, length);
                break;
            case 4:
                if (!server.data.empty()) {
                    CloseFd(server.data.front());
                    server.data.erase(server.data.begin());
                }
                break;
            case 5: {
                const QTimer* timers[] = {&engine.KeepAliveTimer(), &engine.ConnectTimer(),
                                          &engine.ReplyTimer(), &engine.DownloadTimer(),
                                          &engine.UploadTimer()};
                FireTimer(*timers[(length > 0 ? std::uint8_t(bytes[0]) : 0) % 5]);
                break;
            }
            case 6:
                CloseFd(server.control);
                break;
            case 7:
                engine.AbortCommand();
                break;
            default:
                server.Send(server.control, bytes, length);
                break;
            }
            Pump();
            if (server.trace) {
                std::fprintf(stderr, "chunk %d: idle %d/%d logged in %d command %d data %zu\n", kind,
                             engine.IsIdle(), view.idleCount, view.loggedInCount,
                             engine.CurrentCommand() != nullptr, server.data.size());
            }
            while (step < 5 && engine.Session() && view.loggedInCount > 0 && engine.IsIdle()) {
                const bool started = RunNextCommand(engine, step++);
                Pump();
                if (started) {
                    break;
                }
            }
        }

        // The server goes away: the session must end.
        server.Reset(true);
        Pump();
        engine.CloseSession();
        Pump();
        Check(engine.Session() == nullptr && !engine.HasControlConnection() &&
              engine.CurrentTransfer() == nullptr);
    }
    Pump();
    server.Reset(false);
    QDir(fixture->downloads).removeRecursively();
    return 0;
}
