#include "session/ReplyReader.h"

#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <utility>

using namespace Qt::StringLiterals;
using tessaly::FinalLineCode;
using tessaly::ReplyReader;
using tessaly::ReplyScan;

namespace {

ReplyScan ScanOf(const QByteArray& bytes) {
    ReplyReader reader;
    reader.Append(bytes.constData(), bytes.size());
    return reader.Scan();
}

struct ScanCase {
    const char* name;
    QByteArray input;
    QList<QByteArray> lines;
    int finalCount;
    int lastCode;
    qsizetype consumed;
};

void PrintTo(const ScanCase& c, std::ostream* out) {
    *out << c.name;
}

class ReplyReaderScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ReplyReaderScan, FindsTheCompleteReplies) {
    const ScanCase& c = GetParam();
    const ReplyScan scan = ScanOf(c.input);
    EXPECT_EQ(scan.lines, c.lines);
    EXPECT_EQ(scan.finalCount, c.finalCount);
    EXPECT_EQ(scan.lastCode, c.lastCode);
    EXPECT_EQ(scan.consumed, c.consumed);
}

const ScanCase kScanCases[] = {
    {"SingleLine", "220 Service ready\r\n"_ba, {"220 Service ready"}, 1, 220, 19},
    {"SingleLineEndingInLf", "220 Service ready\n"_ba, {"220 Service ready"}, 1, 220, 18},
    {"SingleLineEndingInCr", "220 Service ready\r"_ba, {"220 Service ready"}, 1, 220, 18},
    {"FinalLineWithoutLineEnd", "220 Service ready"_ba, {}, 0, 0, 0},
    {"CodeWithEmptyText", "200 \r\n"_ba, {"200 "}, 1, 200, 6},
    {"MultiLineComplete",
     "220-Welcome\r\n220-to the server\r\n  indented text\r\n220 ready\r\n"_ba,
     {"220-Welcome", "220-to the server", "  indented text", "220 ready"},
     1,
     220,
     60},
    {"MultiLineOpen", "220-Welcome\r\n220-to the server\r\n"_ba, {}, 0, 0, 0},
    {"MultiLineFinalWithoutLineEnd", "220-Welcome\r\n220 ready"_ba, {}, 0, 0, 0},
    {"MultiLineBodyLineThatLooksFinal",
     "220-a\r\n230 inner\r\n220 end\r\n"_ba,
     {"220-a", "230 inner", "220 end"},
     1,
     220,
     27},
    {"MultiLineEndsOnlyAtItsOwnCode", "211-Features:\r\n211-MDTM\r\n212 other\r\n"_ba, {}, 0, 0, 0},
    {"MultiLineCodeWithoutSpaceIsNoEnd", "220-a\r\n220\r\n220b\r\n"_ba, {}, 0, 0, 0},
    {"Code100IsNeverFinal", "100 Continue\r\n"_ba, {}, 0, 0, 0},
    {"Code100LinesJoinTheNextReply", "100 Continue\r\n200 OK\r\n"_ba, {"100 Continue", "200 OK"}, 1, 200, 22},
    {"Code101IsFinal", "101 x\r\n"_ba, {"101 x"}, 1, 101, 7},
    {"Code099IsNotFinal", "099 x\r\n"_ba, {}, 0, 0, 0},
    {"LettersAreNoCode", "2a0 x\r\n22 short\r\n"_ba, {}, 0, 0, 0},
    {"TextBeforeTheFirstCodedLineBelongsToTheReply",
     "Hello there\r\n220 ready\r\n"_ba,
     {"Hello there", "220 ready"},
     1,
     220,
     24},
    {"TwoRepliesInOneBuffer",
     "150 Opening data connection\r\n226 Transfer complete\r\n"_ba,
     {"150 Opening data connection", "226 Transfer complete"},
     2,
     226,
     52},
    {"PartialReplyAfterTheLastCompleteOne", "150 Opening\r\n226 Trans"_ba, {"150 Opening"}, 1, 150, 13},
    {"EmptyLinesAreSkipped", "\r\n\r\n220 ok\r\n\r\n\n"_ba, {"220 ok"}, 1, 220, 15},
    {"OnlyEmptyLines", "\r\n\n\r"_ba, {}, 0, 0, 0},
    {"NonUtf8BytesPassThrough",
     "220 caf\xe9 \xff\xfe\x80\r\n"_ba,
     {"220 caf\xe9 \xff\xfe\x80"_ba},
     1,
     220,
     14},
    {"NulBytesPassThrough", "220 a\0b\r\n"_ba, {"220 a\0b"_ba}, 1, 220, 9},
};

INSTANTIATE_TEST_SUITE_P(ReplyReader, ReplyReaderScan, ::testing::ValuesIn(kScanCases),
                         [](const ::testing::TestParamInfo<ScanCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ReplyReader, FinalLineCodeNeedsThreeDigitsAboveHundredAndASpace) {
    const std::pair<QByteArray, int> cases[] = {
        {"220 ok"_ba, 220}, {"220 "_ba, 220},  {"999 x"_ba, 999}, {"101 x"_ba, 101}, {"100 x"_ba, 0},
        {"099 x"_ba, 0},    {"220-ok"_ba, 0},  {"220"_ba, 0},     {"22 ok"_ba, 0},   {" 220 ok"_ba, 0},
        {"2x0 ok"_ba, 0},   {"220\tok"_ba, 0}, {""_ba, 0},
    };
    for (const auto& [line, code] : cases) {
        EXPECT_EQ(FinalLineCode(line), code) << line.constData();
    }
}

TEST(ReplyReader, AFinalLineCompletesWhenItsLineEndArrives) {
    for (const QByteArray& end : {"\r\n"_ba, "\n"_ba, "\r"_ba}) {
        SCOPED_TRACE(end.toHex().constData());
        ReplyReader reader;
        reader.Append("331 Password required", 21);
        EXPECT_EQ(reader.Scan().finalCount, 0);
        reader.Append(end.constData(), end.size());
        const ReplyScan scan = reader.Scan();
        EXPECT_EQ(scan.finalCount, 1);
        EXPECT_EQ(scan.lastCode, 331);
        EXPECT_EQ(scan.lines, QList<QByteArray>{"331 Password required"});
        EXPECT_EQ(scan.consumed, reader.Buffer().size());
    }
}

TEST(ReplyReader, ConsumeLeavesTheTrailingPartialReplyForTheNextScan) {
    ReplyReader reader;
    const QByteArray first = "150 Opening BINARY mode data connection\r\n226 Tra"_ba;
    reader.Append(first.constData(), first.size());
    ReplyScan scan = reader.Scan();
    ASSERT_EQ(scan.finalCount, 1);
    reader.Consume(scan.consumed);
    EXPECT_EQ(reader.Buffer(), "226 Tra");

    reader.Append("nsfer complete\r\n", 16);
    scan = reader.Scan();
    EXPECT_EQ(scan.lines, QList<QByteArray>{"226 Transfer complete"});
    EXPECT_EQ(scan.lastCode, 226);
    reader.Consume(scan.consumed);
    EXPECT_TRUE(reader.IsEmpty());

    // Consuming more than there is empties the buffer.
    reader.Append("xyz", 3);
    reader.Consume(100);
    EXPECT_TRUE(reader.IsEmpty());
}

// A session's worth of replies with every kind of line end, multi-line replies, empty lines and a
// reply that starts with text.
const QByteArray kTranscript = "220-Welcome to the test server\r\n"
                               "220-\r\n"
                               "220-230 not the end\r\n"
                               "  220 indented, not the end either\r\n"
                               "220 Ready\r\n"
                               "331 Password required\n"
                               "\r\n"
                               "230 Logged in\r"
                               "\n"
                               "211-Features:\r\n"
                               " MDTM\r\n"
                               " UTF8\r\n"
                               "211 End\r\n"
                               "100 still going\r\n"
                               "200 Type set to I\r\n"
                               "some text first\r\n"
                               "227 Entering Passive Mode (127,0,0,1,4,1)\r\n"
                               "150 Opening\r\n"
                               "226 Transfer complete\r\n"
                               "213 \xc3\xa9t\xe9\r\n"
                               "221 Goodb"_ba;

struct Collected {
    QList<QByteArray> lines;
    int finalCount = 0;
    int lastCode = 0;
    QByteArray rest; // without line ends at its front: a line end cut off its line may be left over
};

// Feeds the bytes in pieces of the given sizes (the last size repeats), scanning and consuming after
// every piece as the control connection does after every read.
Collected FeedInPieces(const QByteArray& bytes, const QList<qsizetype>& sizes) {
    ReplyReader reader;
    Collected collected;
    qsizetype offset = 0;
    for (int piece = 0; offset < bytes.size(); ++piece) {
        const qsizetype size =
            qMin(sizes.at(qMin<qsizetype>(piece, sizes.size() - 1)), bytes.size() - offset);
        reader.Append(bytes.constData() + offset, size);
        offset += size;
        const ReplyScan scan = reader.Scan();
        if (scan.finalCount > 0) {
            collected.lines += scan.lines;
            collected.finalCount += scan.finalCount;
            collected.lastCode = scan.lastCode;
            reader.Consume(scan.consumed);
        }
    }
    collected.rest = reader.Buffer();
    while (collected.rest.startsWith('\r') || collected.rest.startsWith('\n')) {
        collected.rest.remove(0, 1);
    }
    return collected;
}

TEST(ReplyReader, RepliesDoNotDependOnHowTheBytesWereCut) {
    const Collected whole = FeedInPieces(kTranscript, {kTranscript.size()});
    EXPECT_EQ(whole.finalCount, 9);
    EXPECT_EQ(whole.lastCode, 213);
    EXPECT_EQ(whole.rest, "221 Goodb");
    EXPECT_EQ(whole.lines.size(), 18);
    EXPECT_EQ(whole.lines.front(), "220-Welcome to the test server");
    EXPECT_TRUE(whole.lines.contains("213 \xc3\xa9t\xe9"_ba));

    const auto same = [&whole](const Collected& other) {
        EXPECT_EQ(other.lines, whole.lines);
        EXPECT_EQ(other.finalCount, whole.finalCount);
        EXPECT_EQ(other.lastCode, whole.lastCode);
        EXPECT_EQ(other.rest, whole.rest);
    };
    {
        SCOPED_TRACE("one byte at a time");
        same(FeedInPieces(kTranscript, {1}));
    }
    {
        SCOPED_TRACE("uneven pieces");
        same(FeedInPieces(kTranscript, {3, 7, 1, 2, 11, 5, 13}));
    }
    for (qsizetype cut = 1; cut < kTranscript.size(); ++cut) {
        SCOPED_TRACE(cut);
        same(FeedInPieces(kTranscript, {cut, kTranscript.size()}));
    }
}

TEST(ReplyReader, IsOverlongPastOneMebibyteWithoutAFinalLine) {
    const QByteArray bodyLine = "211-" + QByteArray(60, 'x') + "\r\n";
    ReplyReader reader;
    while (reader.Buffer().size() + bodyLine.size() <= ReplyReader::kMaxPendingBytes) {
        reader.Append(bodyLine.constData(), bodyLine.size());
    }
    const qsizetype fill = ReplyReader::kMaxPendingBytes - reader.Buffer().size();
    reader.Append(QByteArray(fill, 'y').constData(), fill);
    ASSERT_EQ(reader.Buffer().size(), ReplyReader::kMaxPendingBytes);
    EXPECT_FALSE(reader.IsOverlong()); // at the limit, not past it

    reader.Append("z", 1);
    EXPECT_TRUE(reader.IsOverlong());

    // The same amount is fine once it holds a complete reply.
    reader.Append("\r\n211 End\r\n", 11);
    EXPECT_FALSE(reader.IsOverlong());
    EXPECT_EQ(reader.Scan().finalCount, 1);

    // What counts is what follows the last complete reply: a complete reply before an endless line
    // does not hide it.
    const QByteArray endless(ReplyReader::kMaxPendingBytes, 'x');
    reader.Append(endless.constData(), endless.size());
    EXPECT_FALSE(reader.IsOverlong());
    reader.Append("x", 1);
    EXPECT_TRUE(reader.IsOverlong());
    EXPECT_EQ(reader.Scan().finalCount, 1);
}

} // namespace
