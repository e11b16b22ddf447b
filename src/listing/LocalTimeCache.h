#pragma once

#include <QtGlobal>
#include <optional>
#include <vector>

namespace tessaly {

// Turns local calendar fields into seconds since 1970 exactly as mktime does with tm_isdst = -1
// (the platform decides about daylight saving time), while asking mktime rarely: it costs a
// microsecond or more (it looks at the zone file each time), which would dominate a listing parse.
//
// For each month it sees, the cache asks mktime for the first midnight and then checks, with the
// cheap localtime_r, that the UTC offset is the same a second before it, at every following
// midnight and at the last second of the month. Such a month has no clock change, so any time in it is its
// first midnight plus the elapsed seconds, which is what mktime would answer. A month with a clock change is
// handled the same way day by day, and the times of the day of the change itself go to mktime one
// by one. A clock change that is undone within the same day would go unnoticed; no zone has one.
//
// One cache serves one parse run on one thread.
class LocalTimeCache {
public:
    // Seconds since 1970-01-01 00:00:00 UTC, or nothing when the fields name no moment from then on:
    // the year must be 1970 to 9999, the month 1 to 12, the day one of that month, the time 0:00:00
    // to 23:59:59. Out-of-range fields are refused rather than carried over into the next unit.
    std::optional<qint64> Convert(int year, int month, int day, int hour, int minute, int second);
    // The seconds of the first midnight of the month when the whole month keeps one UTC offset, so
    // that Convert gives that plus the elapsed seconds for any time in it; nothing when it does
    // not, or the fields name no month from 1970 to 9999.
    std::optional<qint64> UniformMonthStart(int year, int month);

private:
    // A month (day 0) or a day whose times are start plus the elapsed seconds when uniform.
    struct Span {
        qint32 key = 0; // 0: empty slot
        bool uniform = false;
        qint64 start = 0;
    };
    // An open-addressing table of spans that grows to stay at most half full.
    class SpanTable {
    public:
        // The span for key, or an empty slot (key 0) where it goes; Insert must follow for that.
        Span& Slot(qint32 key);
        // Fills the empty slot that Slot returned; it may move the spans.
        Span& Insert(Span& slot, Span span);

    private:
        std::vector<Span> slots_;
        qsizetype used_ = 0;
    };

    const Span& Lookup(SpanTable& table, int year, int month, int day);

    SpanTable months_;
    SpanTable days_; // only for months with a clock change
};

// True when day is a day of that month in the proleptic Gregorian calendar.
bool IsDayOfMonth(int year, int month, int day);

} // namespace tessaly
