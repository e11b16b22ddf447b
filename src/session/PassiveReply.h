#pragma once

#include <QByteArray>
#include <optional>

namespace tessaly {

// The data address of a PASV reply: what lies between the first "(" and the first ")" after it,
// six numbers separated by commas: four address bytes and two port bytes.
struct PassiveAddress {
    QByteArray host; // the four address numbers in dotted form
    quint16 port = 0;
};

// Numbers are read as the C library reads them: leading blanks and a sign accepted, the first
// non-digit ends the number. A reply without the parentheses or without six numbers gives nothing,
// and so does an address number outside 0 to 255 or a port outside 1 to 65535.
std::optional<PassiveAddress> ParsePassiveReply(const QByteArray& replyText);

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address and port, both in network order.
QByteArray FormatPortCommand(quint32 addressNetworkOrder, quint16 portNetworkOrder);

} // namespace tessaly
