#pragma once

#include <QByteArray>
#include <optional>

namespace tessaly {

// The data address of a PASV reply: six numbers separated by commas, four address bytes and two
// port bytes. They are what lies between the first "(" and the first ")" after it; a reply without
// that form (RFC 1123 allows others, such as "227 Entering Passive Mode 10,0,0,5,4,1") gives the
// first group of six comma-separated numbers of its text after the reply code.
struct PassiveAddress {
    QByteArray host; // the four address numbers in dotted form
    quint16 port = 0;
};

// Numbers inside parentheses are read as the C library reads them: leading blanks and a sign
// accepted, the first non-digit ends the number. A reply without six numbers gives nothing, and so
// does an address number outside 0 to 255 or a port outside 1 to 65535.
std::optional<PassiveAddress> ParsePassiveReply(const QByteArray& replyText);

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address and port, both in network order.
QByteArray FormatPortCommand(quint32 addressNetworkOrder, quint16 portNetworkOrder);

// An IPv4 address in network order as dotted-decimal text.
QByteArray DottedAddress(quint32 addressNetworkOrder);

} // namespace tessaly
