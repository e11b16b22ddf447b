#include "session/PassiveReply.h"

#include <QList>

namespace tessaly {

namespace {

// The leading decimal number of a text, as atoi reads it, bounded so it cannot overflow; -1 when
// the text holds no number at all.
long long LeadingNumber(const QByteArray& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return -1;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = qMin<long long>(value * 10 + (text[i] - '0'), 1'000'000'000);
    }
    return negative ? -value : value;
}

} // namespace

std::optional<PassiveAddress> ParsePassiveReply(const QByteArray& replyText) {
    const qsizetype open = replyText.indexOf('(');
    if (open < 0) {
        return std::nullopt;
    }
    const qsizetype close = replyText.indexOf(')', open + 1);
    if (close < 0) {
        return std::nullopt;
    }
    const QByteArray inside = replyText.mid(open + 1, close - open - 1);
    const qsizetype last = inside.lastIndexOf(',');
    const qsizetype secondLast = last > 0 ? inside.lastIndexOf(',', last - 1) : -1;
    if (secondLast < 0 || inside.count(',') != 5) {
        return std::nullopt;
    }
    const long long low = LeadingNumber(inside.mid(last + 1));
    const long long high = LeadingNumber(inside.mid(secondLast + 1, last - secondLast - 1));
    const long long port = low + 256 * high;
    if (low < 0 || high < 0 || port < 1 || port > 65535) {
        return std::nullopt;
    }
    // The address is rebuilt from its four numbers, so a reply cannot make the data connection look
    // up a name of the server's choosing.
    const QList<QByteArray> parts = inside.left(secondLast).split(',');
    QByteArray host;
    for (const QByteArray& part : parts) {
        const long long byte = LeadingNumber(part);
        if (byte < 0 || byte > 255) {
            return std::nullopt;
        }
        host += (host.isEmpty() ? "" : ".") + QByteArray::number(byte);
    }
    return PassiveAddress{host, static_cast<quint16>(port)};
}

QByteArray FormatPortCommand(quint32 addressNetworkOrder, quint16 portNetworkOrder) {
    const auto* a = reinterpret_cast<const unsigned char*>(&addressNetworkOrder);
    const auto* p = reinterpret_cast<const unsigned char*>(&portNetworkOrder);
    QByteArray command = "PORT ";
    for (int i = 0; i < 4; ++i) {
        command += QByteArray::number(a[i]) + ',';
    }
    command += QByteArray::number(p[0]) + ',' + QByteArray::number(p[1]);
    return command;
}

} // namespace tessaly
