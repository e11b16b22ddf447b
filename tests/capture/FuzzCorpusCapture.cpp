// Captures seed inputs for the fuzz targets from the real FTP servers the tests use: each server is
// started on 127.0.0.1 (and stopped by PID), a fixed exchange is run against it, and its replies,
// listings and data are written as seeds into OUTDIR/<target>/<server>-<what>. scripts/fuzz-corpus.sh
// runs it; the files it writes are committed, so the seeds stay true to the servers tested against.
//
// Usage: tessaly_fuzz_capture OUTDIR
#include "session/PassiveReply.h"
#include "session/ReplyReader.h"
#include "support/FtpServerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using tessaly::test::FtpServerProcess;
using namespace Qt::StringLiterals;

namespace {

QString outDir;

// The chooser bytes the reply reader target reads first: mixed piece sizes, some scans left.
constexpr char kReaderChoosers[] = "\x07\x60\x01\x3f";

void WriteSeed(const QString& target, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(outDir + u'/' + target);
    QFile file(outDir + u'/' + target + u'/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

int ConnectTo(const QByteArray& host, quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, host.constData(), &address.sin_addr);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QByteArray ReadAll(int fd) {
    QByteArray all;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        all.append(buffer, got);
    }
    ::close(fd);
    return all;
}

// One control connection, with everything the server sent on it kept in order.
class Control {
public:
    explicit Control(quint16 port) : fd_(ConnectTo("127.0.0.1", port)) {}
    ~Control() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool ok() const { return fd_ >= 0; }

    // The complete reply (all its lines, with their line ends) that comes next.
    QByteArray Reply() {
        char buffer[4096];
        for (;;) {
            const tessaly::ReplyScan scan = reader_.Scan();
            if (scan.finalCount > 0) {
                const qsizetype end = EndOfFirstReply(scan.consumed);
                const QByteArray reply = reader_.Buffer().left(end);
                reader_.Consume(end);
                transcript_ += reply;
                return reply;
            }
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) {
                return {};
            }
            reader_.Append(buffer, got);
        }
    }
    QByteArray Command(const QByteArray& line) {
        const QByteArray sent = line + "\r\n";
        if (::write(fd_, sent.constData(), sent.size()) != sent.size()) {
            return {};
        }
        return Reply();
    }
    const QByteArray& Transcript() const { return transcript_; }

private:
    // Where the first complete reply of the buffer ends (a scan may have found several).
    qsizetype EndOfFirstReply(qsizetype consumed) const {
        tessaly::ReplyReader one;
        const QByteArray& buffer = reader_.Buffer();
        for (qsizetype end = 1; end <= consumed; ++end) {
            if (buffer[end - 1] != '\n') {
                continue;
            }
            one = tessaly::ReplyReader();
            one.Append(buffer.constData(), end);
            if (one.Scan().finalCount > 0) {
                return end;
            }
        }
        return consumed;
    }

    int fd_;
    tessaly::ReplyReader reader_;
    QByteArray transcript_;
};

QByteArray FirstLine(const QByteArray& reply) {
    const qsizetype end = reply.indexOf("\r\n");
    return end < 0 ? reply : reply.left(end);
}

// PASV, then the data command: the data it brought and the replies (preliminary and final).
QByteArray DataCommand(Control& control, const QByteArray& command, QByteArray* replies, QByteArray* pasv) {
    const QByteArray pasvReply = control.Command("PASV");
    if (pasv) {
        *pasv = pasvReply;
    }
    const std::optional<tessaly::PassiveAddress> address = tessaly::ParsePassiveReply(FirstLine(pasvReply));
    if (!address || address->host != "127.0.0.1") {
        return {};
    }
    const int data = ConnectTo(address->host, address->port);
    QByteArray first = control.Command(command);
    QByteArray bytes;
    if (data >= 0) {
        bytes = ReadAll(data);
    }
    if (first.startsWith('1')) {
        first += control.Reply();
    }
    if (replies) {
        *replies = first;
    }
    return bytes;
}

// The kinds of names and lines a listing shows: a link, a pipe, a name with leading blanks, one with
// spaces inside, an empty directory and a file dated long ago (its year shown instead of its time).
void AddListingOddities(const QString& root) {
    const QString pub = root + u"/pub"_s;
    (void)QFile::link(QStringLiteral("hello.txt"), pub + u"/link to hello"_s);
    ::mkfifo(QFile::encodeName(pub + u"/pipe"_s).constData(), 0644);
    QFile lead(pub + u"/  leading blanks.txt"_s);
    (void)lead.open(QIODevice::WriteOnly);
    lead.write("x");
    lead.close();
    QDir().mkpath(pub + u"/empty dir"_s);
    const timeval old[2] = {{1546300800, 0}, {1546300800, 0}}; // 2019-01-01
    ::utimes(QFile::encodeName(pub + u"/hello.txt"_s).constData(), old);
}

// The engine fuzz target's script: an options byte, then chunks of a kind, a length and the bytes
// (0: control bytes from the server, 3: data bytes, 4: the server closes the data connection).
class EngineScript {
public:
    explicit EngineScript(char options) : script_(1, options) {}
    void Reply(const QByteArray& bytes) { Chunks(0, bytes); }
    void Data(const QByteArray& bytes) {
        Chunks(3, bytes);
        Chunks(4, {});
    }
    const QByteArray& Bytes() const { return script_; }

private:
    void Chunks(char kind, QByteArray bytes) {
        do {
            const QByteArray piece = bytes.left(255);
            bytes.remove(0, piece.size());
            script_ += kind;
            script_ += static_cast<char>(piece.size());
            script_ += piece;
        } while (!bytes.isEmpty());
    }
    QByteArray script_;
};

// The commands the engine sends in the fuzz target's fixed sequence (log on with its first listing,
// a download by path, a change of directory with its listing, a new directory), sent to
// the real server; its answers become the script, so the engine meets real replies in its order.
QByteArray EngineSession(quint16 port) {
    Control control(port);
    EngineScript script('\x05'); // passive, binary by extension, the login question answered
    script.Reply(control.Reply());
    const QByteArray user = control.Command("USER anonymous");
    script.Reply(user);
    if (user.startsWith("331")) {
        script.Reply(control.Command("PASS tessaly@example.com"));
    }
    for (const char* command : {"SYST", "TYPE I", "REST 100", "REST 0", "PWD", "TYPE A"}) {
        script.Reply(control.Command(command));
    }
    const auto dataCommand = [&](const QByteArray& command) {
        QByteArray pasv;
        QByteArray replies;
        const QByteArray data = DataCommand(control, command, &replies, &pasv);
        script.Reply(pasv);
        const qsizetype firstEnd = replies.startsWith('1') ? replies.indexOf('\n') + 1 : 0;
        script.Reply(replies.left(firstEnd));
        script.Data(data);
        script.Reply(replies.mid(firstEnd));
    };
    dataCommand("LIST");
    for (const char* command : {"TYPE I", "SIZE /pub/hello.txt", "TYPE A"}) {
        script.Reply(control.Command(command));
    }
    dataCommand("RETR /pub/hello.txt");
    for (const char* command : {"CWD /incoming", "PWD", "TYPE A"}) {
        script.Reply(control.Command(command));
    }
    dataCommand("LIST");
    script.Reply(control.Command("MKD made"));
    script.Reply(control.Command("RMD made"));
    return script.Bytes();
}

void Capture(FtpServerProcess::Kind kind) {
    QString error;
    const std::unique_ptr<FtpServerProcess> server = FtpServerProcess::start(kind, &error);
    if (!server) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(FtpServerProcess::kindName(kind)), qPrintable(error));
        std::exit(1);
    }
    AddListingOddities(server->root());
    const QString name = kind == FtpServerProcess::Kind::PyftpdlibDos ? QStringLiteral("pyftpdlib-dos")
                                                                      : FtpServerProcess::kindName(kind);
    // The reply reader's seeds: the replies of every kind (one line, several lines, preliminary and
    // final) and the whole session; the other replies stand in the session only.
    const auto reply = [&](const QString& what, const QByteArray& bytes) {
        WriteSeed(QStringLiteral("reply_reader_fuzz"), name + u'-' + what, kReaderChoosers + bytes);
    };

    {
        // A refused logon.
        Control control(server->port());
        reply(QStringLiteral("welcome"), control.Reply());
        control.Command("USER " + server->userName().toUtf8());
        reply(QStringLiteral("wrong-password"), control.Command("PASS wrong"));
    }

    Control control(server->port());
    if (!control.ok()) {
        std::fprintf(stderr, "%s: no connection\n", qPrintable(name));
        std::exit(1);
    }
    control.Reply();
    const QByteArray user = control.Command("USER anonymous");
    reply(QStringLiteral("user"), user);
    if (user.startsWith("331")) {
        reply(QStringLiteral("pass"), control.Command("PASS guest@example.com"));
    }
    control.Command("SYST");
    reply(QStringLiteral("feat"), control.Command("FEAT"));
    const QByteArray pwd = control.Command("PWD");
    WriteSeed(QStringLiteral("reply_fields_fuzz"), name + u"-pwd"_s, FirstLine(pwd));
    control.Command("CWD /pub");
    control.Command("TYPE I");
    WriteSeed(QStringLiteral("reply_fields_fuzz"), name + u"-size"_s,
              FirstLine(control.Command("SIZE hello.txt")));
    control.Command("SIZE no-such-file");
    control.Command("MDTM hello.txt");

    QByteArray replies;
    QByteArray pasv;
    WriteSeed(QStringLiteral("listing_fuzz"), name + u"-pub"_s,
              DataCommand(control, "LIST", &replies, &pasv));
    WriteSeed(QStringLiteral("passive_reply_fuzz"), name, FirstLine(pasv));
    reply(QStringLiteral("list"), replies);
    WriteSeed(QStringLiteral("listing_fuzz"), name + u"-docs"_s,
              DataCommand(control, "LIST docs", nullptr, nullptr));
    WriteSeed(QStringLiteral("listing_fuzz"), name + u"-nlst"_s,
              DataCommand(control, "NLST", nullptr, nullptr));
    DataCommand(control, "RETR hello.txt", &replies, nullptr);
    reply(QStringLiteral("retr"), replies);
    control.Command("TYPE A");
    WriteSeed(QStringLiteral("ascii_line_end_fuzz"), name + u"-readme"_s,
              '\x10' + DataCommand(control, "RETR docs/readme.txt", nullptr, nullptr));
    DataCommand(control, "RETR no-such-file", &replies, nullptr);
    reply(QStringLiteral("retr-missing"), replies);
    control.Command("REST 5");
    control.Command("REST 0");

    control.Command("CWD /incoming");
    const QByteArray mkd = control.Command("MKD capture dir");
    WriteSeed(QStringLiteral("reply_fields_fuzz"), name + u"-mkd"_s, FirstLine(mkd));
    control.Command("RMD capture dir");
    control.Command("DELE no-such-file");
    control.Command("CWD /no/such/dir");
    control.Command("SITE CHMOD 644 no-such-file");
    reply(QStringLiteral("unknown"), control.Command("XYZZY"));
    control.Command("NOOP");
    reply(QStringLiteral("quit"), control.Command("QUIT"));
    reply(QStringLiteral("session"), control.Transcript());
    WriteSeed(QStringLiteral("engine_script_fuzz"), name, EngineSession(server->port()));
    std::printf("%s: captured\n", qPrintable(name));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    for (const FtpServerProcess::Kind kind :
         {FtpServerProcess::Kind::Vsftpd, FtpServerProcess::Kind::Proftpd, FtpServerProcess::Kind::PureFtpd,
          FtpServerProcess::Kind::Pyftpdlib, FtpServerProcess::Kind::PyftpdlibDos}) {
        Capture(kind);
    }
    return 0;
}
