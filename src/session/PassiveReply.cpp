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

// Six numbers separated by commas, as the text between the parentheses holds them.
std::optional<PassiveAddress> AddressFromNumbers(const QByteArray& inside) {
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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// True when the number at start is not the continuation of a number or of a group before it.
bool StartsAGroup(const QByteArray& text, qsizetype from, qsizetype start) {
    qsizetype before = start - 1;
    while (before >= from && text[before] == ' ') {
        --before;
    }
    return before < from || (text[before] != ',' && !(before == start - 1 && IsDigit(text[before])));
}

// The first run of six comma-separated numbers (blanks allowed around the commas) at or after
// from, as the text of the numbers and commas.
QByteArray FirstSixNumbers(const QByteArray& text, qsizetype from) {
    const qsizetype size = text.size();
    for (qsizetype start = from; start < size; ++start) {
        if (!IsDigit(text[start]) || !StartsAGroup(text, from, start)) {
            continue;
        }
        qsizetype i = start;
        int numbers = 0;
        for (;;) {
            const qsizetype digits = i;
            while (i < size && IsDigit(text[i]) && i - digits < 6) {
                ++i;
            }
            if (i == digits || (i < size && IsDigit(text[i]))) {
                break;
            }
            qsizetype next = i;
            while (next < size && text[next] == ' ') {
                ++next;
            }
            const bool comma = next < size && text[next] == ',';
            if (++numbers == 6) {
                if (comma) {
                    break; // a seventh number: not an address and port
                }
                return text.mid(start, i - start);
            }
            if (!comma) {
                break;
            }
            ++next;
            while (next < size && text[next] == ' ') {
                ++next;
            }
            i = next;
        }
    }
    return {};
}

} // namespace

std::optional<PassiveAddress> ParsePassiveReply(const QByteArray& replyText) {
    const qsizetype open = replyText.indexOf('(');
    const qsizetype close = open < 0 ? -1 : replyText.indexOf(')', open + 1);
    if (close >= 0) {
        if (std::optional<PassiveAddress> address =
                AddressFromNumbers(replyText.mid(open + 1, close - open - 1))) {
            return address;
        }
    }
    // Without usable parentheses: the first six numbers after the reply code.
    const qsizetype from = replyText.size() >= 4 && IsDigit(replyText[0]) ? 4 : 0;
    const QByteArray numbers = FirstSixNumbers(replyText, from);
    if (numbers.isEmpty()) {
        return std::nullopt;
    }
    return AddressFromNumbers(numbers);
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

QByteArray DottedAddress(quint32 addressNetworkOrder) {
    const auto* a = reinterpret_cast<const unsigned char*>(&addressNetworkOrder);
    return QByteArray::number(a[0]) + '.' + QByteArray::number(a[1]) + '.' + QByteArray::number(a[2]) + '.' +
           QByteArray::number(a[3]);
}

} // namespace tessaly
