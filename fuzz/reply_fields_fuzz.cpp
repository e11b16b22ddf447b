// The numbers and paths the engine takes from reply texts: the size of a SIZE reply (213) and the
// quoted path of a 257 reply (PWD, MKD). Whatever the text, the size read is one whose digits stand
// in it and the path read is what its first quote opens and a lone quote closes, its doubled quotes
// read as one; a reply as a server writes it, with a size or a path taken from the input, reads back
// the same.
#include "FuzzCheck.h"
#include "session/ReplyFields.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using tessaly::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const qint64 fileSize = tessaly::ParseSizeReply(text);
    Check(fileSize == tessaly::ParseSizeReply(text));
    if (fileSize != 0) {
        // Its digits stand after the first blank, before any CR.
        const qsizetype space = text.indexOf(' ');
        Check(space >= 0);
        QByteArray digits = QByteArray::number(fileSize);
        if (digits.startsWith('-')) {
            digits.remove(0, 1);
        }
        Check(text.indexOf(digits, space + 1) > space);
    }

    // A path read is what its first quote opens, its quotes written twice, closed by a lone quote.
    const std::optional<QByteArray> path = tessaly::ParseQuotedPath(text);
    const qsizetype open = text.indexOf('"');
    Check(!path || open >= 0);
    if (path) {
        QByteArray written = *path;
        written.replace("\"", "\"\"");
        const QByteArray after = text.sliced(open);
        Check(after.startsWith('"' + written + '"') &&
              (after.size() == written.size() + 2 || after[written.size() + 2] != '"'));
    }

    // Replies as servers write them read back what they carry.
    std::uint64_t bits = 0;
    std::memcpy(&bits, data, std::min(size, sizeof bits));
    const qint64 written = static_cast<qint64>(bits >> 1);
    Check(tessaly::ParseSizeReply("213 " + QByteArray::number(written) + "\r\n") == written);
    Check(tessaly::ParseSizeReply("213 " + QByteArray::number(written)) == written);
    QByteArray doubled = text;
    doubled.replace("\"", "\"\"");
    Check(tessaly::ParseQuotedPath("257 \"" + doubled + "\" is the current directory.") == text);
    return 0;
}
