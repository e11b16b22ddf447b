// The cost of finding replies in the control connection's bytes: a typical one-line reply, a
// five-line welcome, and a 64 KiB multi-line reply (a long FEAT, STAT or HELP answer) that arrives in
// 1 KiB reads, each followed by a scan as the control connection does (and, for comparison, in one read).
#include "session/ReplyReader.h"

#include <benchmark/benchmark.h>

using tessaly::ReplyReader;

namespace {

void ScanAndConsume(benchmark::State& state, const QByteArray& reply) {
    ReplyReader reader;
    for (auto _ : state) {
        reader.Append(reply.constData(), reply.size());
        const tessaly::ReplyScan scan = reader.Scan();
        benchmark::DoNotOptimize(scan.lastCode);
        reader.Consume(scan.consumed);
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
}

void BM_SingleLineReply(benchmark::State& state) {
    ScanAndConsume(state, QByteArrayLiteral("227 Entering Passive Mode (127,0,0,1,195,149).\r\n"));
}
BENCHMARK(BM_SingleLineReply);

void BM_FiveLineWelcome(benchmark::State& state) {
    ScanAndConsume(state,
                   QByteArrayLiteral("220-Welcome to the example file server\r\n"
                                     "220-You are user 3 of 50 allowed.\r\n"
                                     "220-Local time is now 12:34. Server port: 21.\r\n"
                                     "220-This is a private system - no anonymous login\r\n"
                                     "220 You will be disconnected after 15 minutes of inactivity.\r\n"));
}
BENCHMARK(BM_FiveLineWelcome);

QByteArray LongMultiLineReply(qsizetype size) {
    QByteArray reply = QByteArrayLiteral("211-Status of the server:\r\n");
    const QByteArray final = QByteArrayLiteral("211 End of status\r\n");
    for (int n = 0; reply.size() + final.size() < size; ++n) {
        reply += " -rw-r--r--   1 ftp  ftp   " + QByteArray::number(1000 + n) + " Jan 01 12:00 file" +
                 QByteArray::number(n) + ".txt\r\n";
    }
    reply.truncate(size - final.size());
    reply.chop(2);
    reply += "\r\n" + final;
    return reply;
}

// A long multi-line reply (64 KiB, and a 1 MB welcome) arriving in 1 KiB reads: the time per byte
// stays the same as the reply grows, as every byte is looked at once.
void BM_LongReplyIn1KiBReads(benchmark::State& state) {
    const QByteArray reply = LongMultiLineReply(state.range(0));
    constexpr qsizetype kReadSize = 1024;
    ReplyReader reader;
    for (auto _ : state) {
        int replies = 0;
        for (qsizetype offset = 0; offset < reply.size(); offset += kReadSize) {
            reader.Append(reply.constData() + offset, qMin(kReadSize, reply.size() - offset));
            const tessaly::ReplyScan scan = reader.Scan();
            replies += scan.finalCount;
            reader.Consume(scan.consumed);
        }
        if (replies != 1 || !reader.IsEmpty()) {
            state.SkipWithError("the reply was not found exactly once");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
}
BENCHMARK(BM_LongReplyIn1KiBReads)->Arg(64 * 1024)->Arg(1000 * 1000);

// The same reply in one piece: what the scan itself costs, without rescanning what came before.
void BM_LongReplyInOneRead(benchmark::State& state) {
    ScanAndConsume(state, LongMultiLineReply(64 * 1024));
}
BENCHMARK(BM_LongReplyInOneRead);

} // namespace
