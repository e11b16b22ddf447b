#include "listing/LocalTimeCache.h"

#include <ctime>

namespace tessaly {

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

std::tm LocalFields(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return fields;
}

// mktime of the local fields, with the platform deciding about daylight saving time.
std::optional<qint64> MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields = LocalFields(year, month, day, hour, minute, second);
    const std::time_t seconds = std::mktime(&fields);
    if (seconds == std::time_t(-1)) {
        return std::nullopt; // an error, or one second before 1970, which is refused anyway
    }
    return qint64(seconds);
}

// The local midnight that starts the day, with its UTC offset, when that midnight exists as such
// (a clock change at midnight makes mktime move it, and then there is none).
struct Midnight {
    qint64 seconds;
    long utcOffset;
};
std::optional<Midnight> ExactMidnight(int year, int month, int day) {
    std::tm fields = LocalFields(year, month, day, 0, 0, 0);
    const std::time_t seconds = std::mktime(&fields);
    if (seconds == std::time_t(-1) || fields.tm_mday != day || fields.tm_hour != 0 || fields.tm_min != 0 ||
        fields.tm_sec != 0) {
        return std::nullopt;
    }
    return Midnight{qint64(seconds), fields.tm_gmtoff};
}

std::optional<long> UtcOffsetAt(qint64 seconds) {
    const std::time_t at = std::time_t(seconds);
    std::tm fields{};
    if (localtime_r(&at, &fields) == nullptr) {
        return std::nullopt;
    }
    return fields.tm_gmtoff;
}

// True when the offset at start held a second before it (so start is no clock change, nor the
// second pass through an hour that the clock went back over) and holds at every midnight of the
// days that follow and at the last second of the last of them.
bool SameOffsetThroughout(const Midnight& start, int days) {
    if (UtcOffsetAt(start.seconds - 1) != start.utcOffset) {
        return false;
    }
    for (int day = 1; day <= days; ++day) {
        const qint64 at = start.seconds + qint64(day) * 86400 - (day == days ? 1 : 0);
        if (UtcOffsetAt(at) != start.utcOffset) {
            return false;
        }
    }
    return true;
}

} // namespace

LocalTimeCache::Span& LocalTimeCache::SpanTable::Slot(qint32 key) {
    if (slots_.empty()) {
        slots_.resize(256);
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = (quint32(key) * 2654435761u) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot].key == key || slots_[slot].key == 0) {
            return slots_[slot];
        }
    }
}

LocalTimeCache::Span& LocalTimeCache::SpanTable::Insert(Span& slot, Span span) {
    slot = span;
    if (++used_ * 2 <= qsizetype(slots_.size())) {
        return slot;
    }
    std::vector<Span> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Span& held : old) {
        if (held.key != 0) {
            Slot(held.key) = held;
        }
    }
    return Slot(span.key);
}

bool IsDayOfMonth(int year, int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

const LocalTimeCache::Span& LocalTimeCache::Lookup(SpanTable& table, int year, int month, int day) {
    const qint32 key = (year << 9) | (month << 5) | day; // never 0 for a real month
    Span& slot = table.Slot(key);
    if (slot.key == key) {
        return slot;
    }
    Span span{key, false, 0};
    const std::optional<Midnight> start = ExactMidnight(year, month, day == 0 ? 1 : day);
    if (start && SameOffsetThroughout(*start, day == 0 ? DaysInMonth(year, month) : 1)) {
        span.uniform = true;
        span.start = start->seconds;
    }
    return table.Insert(slot, span);
}

std::optional<qint64> LocalTimeCache::UniformMonthStart(int year, int month) {
    if (year < 1970 || year > 9999 || month < 1 || month > 12) {
        return std::nullopt;
    }
    const Span& inMonth = Lookup(months_, year, month, 0);
    return inMonth.uniform ? std::optional<qint64>(inMonth.start) : std::nullopt;
}

std::optional<qint64> LocalTimeCache::Convert(int year, int month, int day, int hour, int minute,
                                              int second) {
    if (year < 1970 || year > 9999 || !IsDayOfMonth(year, month, day) || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    const qint64 intoDay = hour * 3600 + minute * 60 + second;
    qint64 seconds = 0;
    if (const Span& inMonth = Lookup(months_, year, month, 0); inMonth.uniform) {
        seconds = inMonth.start + qint64(day - 1) * 86400 + intoDay;
    } else if (const Span& inDay = Lookup(days_, year, month, day); inDay.uniform) {
        seconds = inDay.start + intoDay;
    } else {
        const std::optional<qint64> exact = MakeLocalTime(year, month, day, hour, minute, second);
        if (!exact) {
            return std::nullopt;
        }
        seconds = *exact;
    }
    if (seconds < 0) {
        return std::nullopt; // before 1970 in UTC, which happens on 1 January 1970 east of Greenwich
    }
    return seconds;
}

} // namespace tessaly
