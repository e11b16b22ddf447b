// Feeds arbitrary bytes to the reply reader in arbitrary pieces, scanning and consuming as the control
// connection does, and checks what every scan promises: it covers only bytes that are there, its lines
// hold no line ends, scanning again gives the same result, and the replies found do not depend on how
// the bytes were cut (compared with one scan of all bytes at once).
#include "session/ReplyReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool SameScan(const tessaly::ReplyScan& a, const tessaly::ReplyScan& b) {
    return a.lines == b.lines && a.finalCount == b.finalCount && a.lastCode == b.lastCode &&
           a.consumed == b.consumed;
}

void CheckScan(const tessaly::ReplyReader& reader, const tessaly::ReplyScan& scan) {
    const QByteArray& buffer = reader.Buffer();
    Check(scan.consumed >= 0 && scan.consumed <= buffer.size());
    Check(scan.finalCount >= 0 && scan.lines.size() >= scan.finalCount);
    Check((scan.finalCount == 0) == (scan.consumed == 0));
    Check((scan.finalCount == 0) == scan.lines.isEmpty());
    Check(scan.finalCount == 0 ? scan.lastCode == 0 : scan.lastCode > 100 && scan.lastCode <= 999);
    if (scan.consumed > 0) {
        // Complete replies end with their line end, and the last line is a final one with the code.
        const char last = buffer.at(scan.consumed - 1);
        Check(last == '\r' || last == '\n');
        Check(tessaly::FinalLineCode(scan.lines.back()) == scan.lastCode);
    }
    for (const QByteArray& line : scan.lines) {
        Check(!line.isEmpty() && !line.contains('\r') && !line.contains('\n'));
    }
    Check(SameScan(reader.Scan(), scan));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first four bytes choose the piece sizes (1 to 64) in turn, and whether each scan is consumed.
    constexpr std::size_t kChooserBytes = 4;
    if (size < kChooserBytes) {
        return 0;
    }
    const std::uint8_t* choosers = data;
    const char* bytes = reinterpret_cast<const char*>(data + kChooserBytes);
    const qsizetype length = static_cast<qsizetype>(size - kChooserBytes);

    tessaly::ReplyReader reader;
    QList<QByteArray> lines;
    int finalCount = 0;
    qsizetype offset = 0;
    for (std::size_t piece = 0; offset < length; ++piece) {
        const std::uint8_t chooser = choosers[piece % kChooserBytes];
        const qsizetype pieceSize = qMin<qsizetype>((chooser & 0x3f) + 1, length - offset);
        reader.Append(bytes + offset, pieceSize);
        offset += pieceSize;

        const tessaly::ReplyScan scan = reader.Scan();
        CheckScan(reader, scan);
        // Now and then the owner leaves the replies in place: the next scan finds them again.
        if ((chooser & 0x40) == 0 || offset == length) {
            lines += scan.lines;
            finalCount += scan.finalCount;
            reader.Consume(scan.consumed);
            const tessaly::ReplyScan rest = reader.Scan();
            CheckScan(reader, rest);
            lines += rest.lines; // a line end cut off its line can complete nothing, so this is empty
            finalCount += rest.finalCount;
            reader.Consume(rest.consumed);
            Check(rest.finalCount == 0);
        }
    }
    (void)reader.IsOverlong();

    tessaly::ReplyReader whole;
    whole.Append(bytes, length);
    const tessaly::ReplyScan all = whole.Scan();
    CheckScan(whole, all);
    Check(all.lines == lines && all.finalCount == finalCount);
    return 0;
}
