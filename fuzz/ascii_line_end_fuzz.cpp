// The line-end conversion of ASCII transfers: an upload turns each lone LF into CR LF, a download
// turns each CR LF into LF, both a chunk at a time with one byte of state between chunks. The first
// input byte cuts the rest into chunks (1 to 64 bytes). What holds, whatever the bytes:
//  - the cuts change nothing: converting chunk by chunk gives what one conversion of all gives;
//  - an upload leaves no LF without its CR, and converting its output again changes nothing;
//  - a download never lengthens the text, and keeps every byte but the CRs of CR LF pairs;
//  - local text without CR LF pairs, sent up and brought down again, is the same text.
#include "FuzzCheck.h"
#include "session/DownloadJob.h"
#include "session/UploadJob.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using tessaly::fuzz::Check;

QByteArray Up(const QByteArray& text, int piece) {
    QByteArray out;
    bool lastWasCr = false;
    for (qsizetype at = 0; at < text.size(); at += piece) {
        const qsizetype length = std::min<qsizetype>(piece, text.size() - at);
        out += tessaly::ToNetworkLineEnds(text.constData() + at, length, lastWasCr);
    }
    return out;
}

QByteArray Down(const QByteArray& text, int piece) {
    QByteArray out;
    bool pendingCr = false;
    for (qsizetype at = 0; at < text.size(); at += piece) {
        const qsizetype length = std::min<qsizetype>(piece, text.size() - at);
        out += tessaly::ConvertAsciiChunk(text.constData() + at, length, pendingCr);
    }
    if (pendingCr) {
        out += '\r'; // a CR that ended the transfer is kept, as the download pump does
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const int piece = 1 + data[0] % 64;
    const QByteArray text(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const int whole = static_cast<int>(text.size()) + 1;

    const QByteArray up = Up(text, piece);
    Check(up == Up(text, whole));
    for (qsizetype i = 0; i < up.size(); ++i) {
        Check(up[i] != '\n' || (i > 0 && up[i - 1] == '\r'));
    }
    Check(Up(up, piece) == up);
    Check(up.size() - up.count('\r') == text.size() - text.count('\r'));

    const QByteArray down = Down(text, piece);
    Check(down == Down(text, whole));
    Check(down.size() == text.size() - text.count("\r\n"));
    QByteArray pairsGone = text;
    Check(down == pairsGone.replace("\r\n", "\n"));

    if (!text.contains("\r\n")) {
        Check(Down(up, piece) == text);
    }
    return 0;
}
