#pragma once

#include "support/FtpServerProcess.h"

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <iosfwd>
#include <memory>
#include <vector>

namespace tessaly::test {

// A real proxy on 127.0.0.1 for the integration tests, on free ports, in a temporary directory of its
// own. The destructor stops every process it started by PID, together with the processes they forked.
//
//   DanteNone       danted, SOCKS4 and SOCKS5 without authentication (no SOCKS4A).
//   DanteUser       danted, SOCKS5 with the username method (RFC 1929) against system users:
//                   tessftp/secret (made by scripts/install-deps.sh).
//   Microsocks      microsocks, SOCKS5 without authentication.
//   MicrosocksUser  microsocks, SOCKS5 with the single user puser/ppass.
//   SshDynamic      sshd plus "ssh -N -D": SOCKS4, SOCKS4A and SOCKS5 without authentication; port()
//                   is the -D port. Throwaway host and client keys live in the temporary directory.
//   Tinyproxy       tinyproxy, HTTP CONNECT without authentication.
//   TinyproxyBasic  tinyproxy, HTTP CONNECT with "BasicAuth puser ppass".
//   FtpProxySuite   ftp-proxy: "USER user@host[:port]"; a USER without @host goes to
//                   127.0.0.1:allowedTargetPorts[0] (21 when the list is empty). No proxy login.
//   ProftpdModProxy proftpd with mod_proxy as forward proxy, one port per Method, proxy user
//                   puser/ppass, any target 127.0.0.1:PORT; other hosts get "530 Login incorrect.".
//
// allowedTargetPorts matters to the two tinyproxy kinds, which allow CONNECT to exactly those ports
// (pass the FTP server's control port and its whole passive range) or to every port when it is empty,
// and to FtpProxySuite (its first port, see above). The SOCKS proxies reach every port on 127.0.0.0/8.
//
// dante, tinyproxy, ftp-proxy and mod_proxy need root: they drop privileges to nobody, and dante's
// username method reads /etc/shadow. microsocks and ssh -D run as any user.
class ProxyProcess {
public:
    enum class Kind {
        DanteNone,
        DanteUser,
        Microsocks,
        MicrosocksUser,
        SshDynamic,
        Tinyproxy,
        TinyproxyBasic,
        FtpProxySuite,
        ProftpdModProxy
    };

    // mod_proxy's logon conventions, each on a port of its own:
    //   UserAtHost:           USER user@host:port, PASS pass
    //   ProxyUserThenUserAtHost ("proxyuser,user@host"):
    //                         USER puser, PASS ppass, then USER user@host:port, PASS pass
    //   ProxyUserAtHostThenUser ("proxyuser@host,user"):
    //                         USER puser@host:port, PASS ppass, then USER user, PASS pass
    enum class Method { UserAtHost, ProxyUserThenUserAtHost, ProxyUserAtHostThenUser };

    // The running proxy, or nullptr with *error saying why (not installed, not root, did not start).
    static std::unique_ptr<ProxyProcess> start(Kind kind, const QList<quint16>& allowedTargetPorts,
                                               QString* error);

    static QString kindName(Kind kind);

    // SshDynamic run as root: a host name that resolves to 127.0.0.1 for the proxy only, not for
    // the client.
    static constexpr const char* kProxyOnlyHostName = "tessaly-proxy-side.test";
    // mod_proxy's own name of the method, e.g. "proxyuser,user@host".
    static QString methodName(Method method);

    ~ProxyProcess();
    ProxyProcess(const ProxyProcess&) = delete;
    ProxyProcess& operator=(const ProxyProcess&) = delete;

    Kind kind() const { return kind_; }

    // The port clients connect to; for ProftpdModProxy the UserAtHost one.
    quint16 port() const { return port_; }
    // ProftpdModProxy: the port of `method`; every other kind: port().
    quint16 port(Method method) const;
    // Every port the proxy's processes listen on (for SshDynamic sshd's too).
    QList<quint16> listeningPorts() const { return listening_; }

    // The proxy's own credentials; empty for kinds without authentication.
    QString user() const;
    QString password() const;

    // The process that listens on port(), and every process started (for SshDynamic ssh and sshd).
    qint64 pid() const { return pid_; }
    QList<qint64> pids() const;

    // The proxies' output and log files, for failure messages: they name the targets connected to.
    QString logText() const;

    // Stops every process: SIGTERM, then SIGKILL after a grace period, forked children too. Idempotent.
    void stop();

private:
    struct Daemon {
        QString name;
        std::unique_ptr<QProcess> process;
        qint64 pid = 0;
    };

    ProxyProcess(Kind kind, const QList<quint16>& allowedTargetPorts);

    bool launch(QString* error);
    bool launchDante(QString* error);
    bool launchMicrosocks(QString* error);
    bool launchSshDynamic(QString* error);
    bool launchTinyproxy(QString* error);
    bool launchFtpProxy(QString* error);
    bool launchModProxy(QString* error);

    // Starts `program` with its output in `outputFile`, and waits until it (or a child of it) listens
    // on every port in `ports`. The new process becomes pid() when `ports` holds port().
    bool startDaemon(const QString& name, const QString& program, const QStringList& arguments,
                     const QString& outputFile, const QList<quint16>& ports, QString* error,
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString failure(const QString& what) const;

    Kind kind_;
    QList<quint16> allowedTargetPorts_;
    QTemporaryDir dir_;
    std::vector<Daemon> daemons_;
    quint16 port_ = 0;
    QList<quint16> methodPorts_;
    QList<quint16> listening_;
    qint64 pid_ = 0;
    QStringList logFiles_;
};

// Lets GoogleTest print the enums by name in test parameters and failure messages.
void PrintTo(ProxyProcess::Kind kind, std::ostream* out);
void PrintTo(ProxyProcess::Method method, std::ostream* out);

} // namespace tessaly::test

// Starts a proxy of `kind` into `target` (a std::unique_ptr<ProxyProcess> lvalue) that may connect to
// the allowed target ports (a QList<quint16> or a braced list: {}, {port}, {a, b}); when it cannot
// start, skips the test, or fails it when TESSALY_REQUIRE_PEERS=1. For test bodies and fixture SetUp().
#define TESSALY_START_PROXY_OR_SKIP(target, kind, ...)                                                       \
    do {                                                                                                     \
        QString tessalyProxyError_;                                                                          \
        (target) = ::tessaly::test::ProxyProcess::start((kind), __VA_ARGS__, &tessalyProxyError_);           \
        if (!(target)) {                                                                                     \
            if (::tessaly::test::FtpServerProcess::peersRequired())                                          \
                FAIL() << qPrintable(tessalyProxyError_);                                                    \
            GTEST_SKIP() << qPrintable(tessalyProxyError_);                                                  \
        }                                                                                                    \
    } while (false)
