// The cost of turning a directory listing into items: realistic Unix listings of 100,000 and
// 1,000,000 lines (8 % directories, some links, some names with blanks, dates in the year form and
// in the time-of-day form), parsed with every field and the time stamp built, with caching off and
// on; with caching on also from a buffer the parser takes over, as the session hands it the bytes
// it received (the kept lines move together in place; the copy given to it each round is made
// outside the timing); an MS-DOS listing; rebuilding from a cache entry; and, for scale, a bare
// field splitter that builds nothing.
//
// Memory counters, measured once per benchmark outside the timed loop:
//   heap_MiB      heap bytes the parsed result holds, from glibc's mallinfo2 (in-use bytes after the
//                 parse minus before, the listing itself excluded unless the result took it over);
//   peak_rss_MiB  growth of the peak resident set during one parse, from getrusage ru_maxrss after
//                 resetting the peak through /proc/self/clear_refs (Linux 4.0 and later).
#include "listing/ListingParser.h"

#include <benchmark/benchmark.h>
#include <charconv>
#include <cstdio>
#include <malloc.h>
#include <random>
#include <string_view>
#include <sys/resource.h>
#include <utility>

namespace {

constexpr tessaly::LocalDate kToday{2026, 12, 8};

QByteArray UnixListing(int lineCount, std::uint32_t seed) {
    static constexpr const char* kOwners[] = {"root", "ftp", "alice", "www-data", "1000", "backup"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static constexpr const char* kExtensions[] = {".txt", ".tar.gz", ".iso", ".jpg", ".c", ""};
    std::mt19937 random(seed);
    auto below = [&random](std::uint32_t bound) { return int(random() % bound); };

    QByteArray listing;
    listing.reserve(qsizetype(lineCount) * 72);
    listing += "total " + QByteArray::number(lineCount * 4) + "\r\n";
    char line[256];
    for (int i = 0; i < lineCount; ++i) {
        const int kind = below(100); // 0-7 directory, 8-9 link, rest file
        const char* permissions = kind < 8 ? "drwxr-xr-x" : kind < 10 ? "lrwxrwxrwx" : "-rw-r--r--";
        const unsigned long long size = kind < 8    ? 4096
                                        : kind < 10 ? 10 + below(40)
                                                    : (1ull << below(34)) + random() % 1000;
        const char* owner = kOwners[below(6)];
        char when[8];
        if (below(2) == 0) {
            std::snprintf(when, sizeof when, "%02d:%02d", below(24), below(60));
        } else {
            std::snprintf(when, sizeof when, " %d", 2000 + below(26));
        }
        char name[96];
        if (kind < 8) {
            std::snprintf(name, sizeof name, below(10) == 0 ? "project %d" : "dir%d", i);
        } else if (kind < 10) {
            std::snprintf(name, sizeof name, "link%d -> ../target/%d", i, below(1000));
        } else {
            std::snprintf(name, sizeof name, below(10) == 0 ? "my file %d%s" : "file_%d%s", i,
                          kExtensions[below(6)]);
        }
        const int length =
            std::snprintf(line, sizeof line, "%s %3d %-8s %-8s %12llu %s %2d %5s %s\r\n", permissions,
                          1 + below(30), owner, owner, size, kMonths[below(12)], 1 + below(28), when, name);
        listing.append(line, length);
    }
    return listing;
}

QByteArray DosListing(int lineCount, std::uint32_t seed) {
    std::mt19937 random(seed);
    QByteArray listing;
    char line[160];
    for (int i = 0; i < lineCount; ++i) {
        const bool directory = random() % 100 < 8;
        char column[24];
        if (directory) {
            std::snprintf(column, sizeof column, "      <DIR>         ");
        } else {
            std::snprintf(column, sizeof column, "%20u", unsigned(random() % 100000000));
        }
        const int length = std::snprintf(line, sizeof line, "%02u-%02u-%02u  %02u:%02u%s %s entry%d\r\n",
                                         1 + unsigned(random() % 12), 1 + unsigned(random() % 28),
                                         unsigned(random() % 30), 1 + unsigned(random() % 12),
                                         unsigned(random() % 60), random() % 2 ? "AM" : "PM", column, i);
        listing.append(line, length);
    }
    return listing;
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

long MaxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Growth of the peak resident set while parse runs once, in MiB, or -1 when the peak cannot be
// reset: writing "5" to /proc/self/clear_refs sets the peak back to the current resident set, so
// ru_maxrss afterwards tells what this run added, whatever earlier runs reached.
template <typename Parse> double PeakRssGrowthMiB(Parse parse) {
    malloc_trim(0); // hand freed heap back, so the parse has to fetch fresh pages as a first one would
    std::FILE* clear = std::fopen("/proc/self/clear_refs", "w");
    if (clear == nullptr) {
        return -1;
    }
    const bool reset = std::fputs("5", clear) >= 0;
    if (std::fclose(clear) != 0 || !reset) {
        return -1;
    }
    const long before = MaxRssKiB();
    parse();
    return double(MaxRssKiB() - before) / 1024.0;
}

// A buffer of the listing's bytes that nothing else shares, as the session's receive buffer.
QByteArray OwnCopy(const QByteArray& listing) {
    return QByteArray(listing.constData(), listing.size());
}

enum class Source { Shared, TakenOver };

tessaly::ParsedListing Parse(const QByteArray& listing, bool cache, Source source, QByteArray& own) {
    return source == Source::TakenOver ? tessaly::ParseListing(std::move(own), "/pub", cache, kToday)
                                       : tessaly::ParseListing(listing, "/pub", cache, kToday);
}

void ReportMemory(benchmark::State& state, const QByteArray& listing, bool cache,
                  Source source = Source::Shared) {
    const std::size_t before = HeapInUse();
    {
        QByteArray own = source == Source::TakenOver ? OwnCopy(listing) : QByteArray();
        const tessaly::ParsedListing parsed = Parse(listing, cache, source, own);
        state.counters["heap_MiB"] = double(HeapInUse() - before) / (1024.0 * 1024.0);
        qsizetype stamped = 0;
        for (const tessaly::RemoteItem& item : parsed.items.files) {
            stamped += item.modified().has_value();
        }
        if (stamped != parsed.items.files.size()) {
            state.SkipWithError("a file came without a time stamp");
        }
    }
    QByteArray own = source == Source::TakenOver ? OwnCopy(listing) : QByteArray();
    state.counters["peak_rss_MiB"] = PeakRssGrowthMiB([&] {
        const tessaly::ParsedListing parsed = Parse(listing, cache, source, own);
        benchmark::DoNotOptimize(parsed.items.files.size());
    });
}

void SetRates(benchmark::State& state, qsizetype lines, qsizetype bytes) {
    state.SetItemsProcessed(state.iterations() * lines);
    state.SetBytesProcessed(state.iterations() * bytes);
}

void ParseUnix(benchmark::State& state, bool cache, Source source = Source::Shared) {
    const int lineCount = int(state.range(0));
    const QByteArray listing = UnixListing(lineCount, 20261207);
    ReportMemory(state, listing, cache, source);
    for (auto _ : state) {
        QByteArray own;
        if (source == Source::TakenOver) {
            state.PauseTiming();
            own = OwnCopy(listing);
            state.ResumeTiming();
        }
        tessaly::ParsedListing parsed = Parse(listing, cache, source, own);
        benchmark::DoNotOptimize(parsed.items.files.constData());
        benchmark::ClobberMemory();
        if (source == Source::TakenOver) {
            state.PauseTiming(); // the copy made for the round goes with the result
            parsed = tessaly::ParsedListing();
            state.ResumeTiming();
        }
    }
    SetRates(state, lineCount, listing.size());
}

void BM_ParseUnixListing(benchmark::State& state) {
    ParseUnix(state, false);
}
BENCHMARK(BM_ParseUnixListing)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ParseUnixListingCached(benchmark::State& state) {
    ParseUnix(state, true);
}
BENCHMARK(BM_ParseUnixListingCached)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ParseUnixListingCachedTakenOver(benchmark::State& state) {
    ParseUnix(state, true, Source::TakenOver);
}
BENCHMARK(BM_ParseUnixListingCachedTakenOver)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ParseDosListing(benchmark::State& state) {
    const int lineCount = int(state.range(0));
    const QByteArray listing = DosListing(lineCount, 7);
    ReportMemory(state, listing, false);
    for (auto _ : state) {
        const tessaly::ParsedListing parsed = tessaly::ParseListing(listing, "/", false, kToday);
        benchmark::DoNotOptimize(parsed.items.files.constData());
    }
    SetRates(state, lineCount, listing.size());
}
BENCHMARK(BM_ParseDosListing)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_RebuildFromEntry(benchmark::State& state) {
    const int lineCount = int(state.range(0));
    const QByteArray listing = UnixListing(lineCount, 20261207);
    const tessaly::FolderCacheEntry entry = *tessaly::ParseListing(listing, "/pub", true, kToday).cacheEntry;
    for (auto _ : state) {
        const tessaly::ListingItems items = tessaly::RebuildFromEntry(entry, kToday);
        benchmark::DoNotOptimize(items.files.constData());
    }
    SetRates(state, entry.lineCount(), listing.size());
}
BENCHMARK(BM_RebuildFromEntry)->Arg(100'000)->Unit(benchmark::kMillisecond);

// For scale: split the same listing into lines and blank-separated fields and read the size with
// from_chars, building nothing (no names, texts, dates or items).
void BM_BareFieldSplitter(benchmark::State& state) {
    const int lineCount = int(state.range(0));
    const QByteArray listing = UnixListing(lineCount, 20261207);
    const std::string_view text(listing.constData(), std::size_t(listing.size()));
    for (auto _ : state) {
        unsigned long long total = 0;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) {
                end = text.size();
            }
            std::string_view line = text.substr(pos, end - pos);
            pos = end + 1;
            int field = 0;
            while (!line.empty()) {
                const std::size_t blank = line.find(' ');
                const std::string_view token = line.substr(0, blank);
                if (field == 4 && !token.empty()) {
                    unsigned long long size = 0;
                    std::from_chars(token.data(), token.data() + token.size(), size);
                    total += size;
                }
                if (blank == std::string_view::npos) {
                    break;
                }
                line.remove_prefix(line.find_first_not_of(' ', blank) == std::string_view::npos
                                       ? line.size()
                                       : line.find_first_not_of(' ', blank));
                ++field;
            }
        }
        benchmark::DoNotOptimize(total);
    }
    SetRates(state, lineCount, listing.size());
}
BENCHMARK(BM_BareFieldSplitter)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace
