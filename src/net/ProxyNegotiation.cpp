#include "net/ProxyNegotiation.h"

namespace tessaly {

namespace {

// No proxy sends an HTTP reply header this long; a longer one is refused rather than collected.
constexpr qsizetype kMaxHttpReply = 16 * 1024;
constexpr int kSocks4ReplySize = 8;
constexpr int kSocks5ShortReplySize = 2;
constexpr int kSocks5ReplyHeadSize = 5;
constexpr char kHttpPrefix[] = "HTTP/";

void AppendPort(QByteArray& out, quint16 port) {
    out.append(static_cast<char>(port >> 8));
    out.append(static_cast<char>(port & 0xff));
}

void AppendAddress(QByteArray& out, quint32 addressNetworkOrder) {
    out.append(reinterpret_cast<const char*>(&addressNetworkOrder), 4);
}

// A length-prefixed field of a SOCKS5 message: at most 255 bytes.
void AppendCounted(QByteArray& out, const QByteArray& field) {
    const QByteArray cut = field.left(255);
    out.append(static_cast<char>(cut.size()));
    out.append(cut);
}

unsigned char ByteAt(const QByteArray& bytes, qsizetype index) {
    return static_cast<unsigned char>(bytes[index]);
}

QByteArray HostText(const ProxyTarget& target) {
    if (!target.host.isEmpty() || target.address == 0) {
        return target.host;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(&target.address);
    return QByteArray::number(bytes[0]) + '.' + QByteArray::number(bytes[1]) + '.' +
           QByteArray::number(bytes[2]) + '.' + QByteArray::number(bytes[3]);
}

} // namespace

ProxyNegotiation::ProxyNegotiation(ProxyKind kind, ProxyTarget target, QByteArray user, QByteArray password)
    : kind_(kind), target_(std::move(target)), user_(std::move(user)), password_(std::move(password)),
      useCredentials_(!(user_.isEmpty() && password_.isEmpty())) {
    switch (kind_) {
    case ProxyKind::Socks4:
    case ProxyKind::Socks4a:
        expected_ = kSocks4ReplySize;
        break;
    case ProxyKind::Socks5:
        expected_ = kSocks5ShortReplySize;
        break;
    case ProxyKind::Http:
    case ProxyKind::None:
        break;
    }
}

QByteArray ProxyNegotiation::FirstRequest() const {
    switch (kind_) {
    case ProxyKind::Socks4:
    case ProxyKind::Socks4a: {
        QByteArray request("\x04\x01", 2);
        AppendPort(request, target_.port);
        if (target_.address != 0) {
            AppendAddress(request, target_.address);
            request.append('\0'); // the user id is empty
        } else {
            // SOCKS4A: the address 0.0.0.1, the empty user id, then the name for the proxy to resolve.
            request.append("\0\0\0\x01\0", 5);
            request.append(target_.host);
            request.append('\0');
        }
        return request;
    }
    case ProxyKind::Socks5:
        return useCredentials_ ? QByteArray("\x05\x02\x02\x00", 4) : QByteArray("\x05\x01\x00", 3);
    case ProxyKind::Http:
        return HttpRequest(target_, user_, password_);
    case ProxyKind::None:
        break;
    }
    return {};
}

QByteArray ProxyNegotiation::HttpRequest(const ProxyTarget& target, const QByteArray& user,
                                         const QByteArray& password) {
    const QByteArray where = HostText(target) + ':' + QByteArray::number(target.port);
    QByteArray request = "CONNECT " + where + " HTTP/1.1\r\nHost: " + where + "\r\n";
    if (!(user.isEmpty() && password.isEmpty())) {
        const QByteArray credentials = (user + ':' + password).toBase64();
        request += "Authorization: Basic " + credentials + "\r\n";
        request += "Proxy-Authorization: Basic " + credentials + "\r\n";
    }
    request += "\r\n";
    return request;
}

int ProxyNegotiation::Wanted() const {
    if (state_ != State::Negotiating) {
        return 0;
    }
    if (kind_ == ProxyKind::Http) {
        return 1;
    }
    return static_cast<int>(qMax<qsizetype>(0, expected_ - reply_.size()));
}

QByteArray ProxyNegotiation::Feed(const char* data, int length) {
    if (state_ != State::Negotiating || length <= 0) {
        return {};
    }
    switch (kind_) {
    case ProxyKind::Socks4:
    case ProxyKind::Socks4a:
        return TakeSocks4(data, length);
    case ProxyKind::Socks5:
        return TakeSocks5(data, length);
    case ProxyKind::Http:
        TakeHttp(data, length);
        return {};
    case ProxyKind::None:
        break;
    }
    return {};
}

void ProxyNegotiation::FailReceive() {
    Fail(step_ == kAuthReply ? kProxyAuthFailed : kProxyRequestFailed);
}

void ProxyNegotiation::Fail(int error) {
    state_ = State::Failed;
    error_ = error;
    reply_.clear();
}

void ProxyNegotiation::Establish() {
    state_ = State::Established;
    reply_.clear();
}

QByteArray ProxyNegotiation::TakeSocks4(const char* data, int length) {
    reply_.append(data, qMin(length, Wanted()));
    if (reply_.size() < expected_) {
        return {};
    }
    if (ByteAt(reply_, 0) != 0 || ByteAt(reply_, 1) != 90) {
        Fail(kProxyRequestFailed);
    } else {
        Establish();
    }
    return {};
}

QByteArray ProxyNegotiation::TakeSocks5(const char* data, int length) {
    reply_.append(data, qMin(length, Wanted()));
    if (reply_.size() < expected_) {
        return {};
    }
    switch (step_) {
    case kFirstReply: {
        const unsigned char method = ByteAt(reply_, 1);
        if (ByteAt(reply_, 0) != 5 || method == 0xff) {
            Fail(kProxyNoMethod);
            return {};
        }
        if (method == 0) {
            step_ = kConnectReply;
            expected_ = kSocks5ReplyHeadSize;
            reply_.clear();
            return Socks5ConnectRequest();
        }
        if (method != 2) {
            Fail(kProxyUnsupportedMethod);
            return {};
        }
        if (!useCredentials_) {
            Fail(kProxyAuthRequired);
            return {};
        }
        step_ = kAuthReply;
        expected_ = kSocks5ShortReplySize;
        reply_.clear();
        return Socks5AuthRequest();
    }
    case kAuthReply:
        if (ByteAt(reply_, 1) != 0) {
            Fail(kProxyAuthFailed);
            return {};
        }
        step_ = kConnectReply;
        expected_ = kSocks5ReplyHeadSize;
        reply_.clear();
        return Socks5ConnectRequest();
    case kConnectReply:
        if (reply_.size() == kSocks5ReplyHeadSize) {
            if (ByteAt(reply_, 0) != 5 || ByteAt(reply_, 1) != 0) {
                Fail(kProxyRequestFailed);
                return {};
            }
            // The bound address ends the reply: IPv4, a counted name, or IPv6.
            switch (ByteAt(reply_, 3)) {
            case 1:
                expected_ = 10;
                break;
            case 4:
                expected_ = 22;
                break;
            default:
                expected_ = 7 + ByteAt(reply_, 4);
                break;
            }
            if (reply_.size() < expected_) {
                return {};
            }
        }
        Establish();
        return {};
    default:
        return {};
    }
}

void ProxyNegotiation::TakeHttp(const char* data, int length) {
    for (int i = 0; i < length && state_ == State::Negotiating; ++i) {
        reply_.append(data[i]);
        const qsizetype common = qMin<qsizetype>(reply_.size(), sizeof kHttpPrefix - 1);
        if (reply_.left(common) != QByteArray(kHttpPrefix, common) || reply_.size() > kMaxHttpReply) {
            Fail(kProxyRequestFailed);
            return;
        }
        if (!statusChecked_ && reply_.endsWith("\r\n")) {
            // The status line must hold a blank followed by a 2xx status.
            statusChecked_ = true;
            const qsizetype lineEnd = reply_.size() - 2;
            const qsizetype blank = reply_.indexOf(' ');
            if (blank < 0 || blank > lineEnd || reply_[blank + 1] != '2') {
                Fail(kProxyRequestFailed);
                return;
            }
        }
        if (reply_.endsWith("\r\n\r\n")) {
            Establish();
        }
    }
}

QByteArray ProxyNegotiation::Socks5AuthRequest() const {
    QByteArray request(1, '\x01');
    AppendCounted(request, user_);
    AppendCounted(request, password_);
    return request;
}

QByteArray ProxyNegotiation::Socks5ConnectRequest() const {
    QByteArray request("\x05\x01\x00", 3);
    if (target_.address != 0) {
        request.append('\x01');
        AppendAddress(request, target_.address);
    } else {
        request.append('\x03');
        AppendCounted(request, target_.host);
    }
    AppendPort(request, target_.port);
    return request;
}

} // namespace tessaly
