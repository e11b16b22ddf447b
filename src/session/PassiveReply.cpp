#include "session/PassiveReply.h"

#include <QList>
#include <algorithm>
#include <array>

namespace tessaly {

namespace {

// The leading decimal number of a text, as atoi reads it, bounded so it cannot overflow; -1 when
// the text holds no number at all.
long long LeadingNumber(QByteArrayView text) {
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
std::optional<PassiveAddress> AddressFromNumbers(QByteArrayView inside) {
    if (std::count(inside.begin(), inside.end(), ',') != 5) {
        return std::nullopt;
    }
    std::array<long long, 6> numbers{};
    qsizetype from = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const qsizetype comma = i + 1 < numbers.size() ? inside.indexOf(',', from) : inside.size();
        numbers[i] = LeadingNumber(inside.sliced(from, comma - from));
        from = comma + 1;
    }
    const long long high = numbers[4];
    const long long low = numbers[5];
    const long long port = low + 256 * high;
    if (low < 0 || high < 0 || port < 1 || port > 65535) {
        return std::nullopt;
    }
    // The address is rebuilt from its four numbers, so a reply cannot make the data connection look
    // up a name of the server's choosing.
    QByteArray host;
    host.reserve(15);
    for (std::size_t i = 0; i < 4; ++i) {
        if (numbers[i] < 0 || numbers[i] > 255) {
            return std::nullopt;
        }
        if (i > 0) {
            host.append('.');
        }
        host.append(QByteArray::number(numbers[i]));
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
                AddressFromNumbers(QByteArrayView(replyText).sliced(open + 1, close - open - 1))) {
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
