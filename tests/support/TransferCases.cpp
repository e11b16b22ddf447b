#include "support/TransferCases.h"

#include "support/TestFiles.h"

#include <QFile>
#include <algorithm>
#include <unistd.h>

namespace tessaly::test {

using namespace Qt::StringLiterals;

void ServeRandomFile(const FtpServerProcess& server, const QString& name) {
    const RandomTestFile& random = SharedRandomFile();
    ASSERT_FALSE(random.sha256.isEmpty()) << "cannot make " << qPrintable(random.path);
    const QString target = server.root() + u'/' + name;
    const bool linked =
        ::link(QFile::encodeName(random.path).constData(), QFile::encodeName(target).constData()) == 0;
    ASSERT_TRUE(linked || QFile::copy(random.path, target)) << qPrintable(target);
}

void ServerModeTest::login() {
    h.setInt(u"Advance", u"PasvMode", GetParam().passive ? 1 : 0);
    h.connect(server->port(), server->userName().toUtf8(), server->password().toUtf8());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << qPrintable(server->logText());
}

void ServerModeTest::expectTransferJobDone(int timeoutMs) {
    ASSERT_TRUE(h.waitIdle(timeoutMs)) << h.view.joined() << qPrintable(server->logText());
    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.joined();
    const QList<QByteArray> commands = h.view.texts();
    const bool sentPasv = commands.contains("PASV");
    const bool sentPort = std::any_of(commands.begin(), commands.end(),
                                      [](const QByteArray& line) { return line.startsWith("PORT "); });
    EXPECT_EQ(sentPasv, GetParam().passive) << h.view.joined();
    EXPECT_EQ(sentPort, !GetParam().passive) << h.view.joined();
}

QByteArray TypeBeforeTransfer(const QList<QByteArray>& texts, QByteArrayView verb, QByteArrayView name) {
    const QByteArray command = verb.toByteArray() + ' ' + name.toByteArray();
    const QByteArray pathEnd = '/' + name.toByteArray();
    QByteArray type;
    for (const QByteArray& text : texts) {
        if (text.startsWith("TYPE "))
            type = text;
        if (text.startsWith(verb.toByteArray() + ' ') && (text == command || text.endsWith(pathEnd)))
            return type;
    }
    return {};
}

void UseProxy(SettingsStore& settings, const ProxyProcess& proxy, int socksType) {
    settings.WriteInt(u"Advance", u"PasvMode", 1);
    settings.WriteInt(u"Socks", u"UseSocks", 1);
    settings.WriteInt(u"Socks", u"SocksType", socksType);
    settings.WriteString(u"Socks", u"SocksHost", QStringLiteral("127.0.0.1"));
    settings.WriteInt(u"Socks", u"SocksPort", proxy.port());
}

bool ProxyLogNamesPassivePort(const ProxyProcess& proxy, const FtpServerProcess& server) {
    const QString log = proxy.logText();
    for (int port = server.passiveFirstPort(); port <= server.passiveLastPort(); ++port) {
        // dante writes "127.0.0.1.PORT", tinyproxy "127.0.0.1:PORT".
        if (log.contains(u"127.0.0.1.%1"_s.arg(port)) || log.contains(u"127.0.0.1:%1"_s.arg(port)))
            return true;
    }
    return false;
}

} // namespace tessaly::test
