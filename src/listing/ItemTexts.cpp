#include "listing/ItemTexts.h"

#include "listing/ListingFields.h"

#include <algorithm>
#include <cstring>

namespace tessaly {

namespace {

// Reads a number of count digits at offset of text into value; false when they are not all digits.
// When blankLead is set, the first of them may be a blank (the blank-padded hour " 9").
bool ReadDigits(const char* text, int offset, int count, bool blankLead, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[offset + i];
        if (i == 0 && blankLead && c == ' ') {
            continue;
        }
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

// The numbers of a date text of the form "YYYY-MM-DD".
bool ReadDateForm(QByteArrayView text, int& year, int& month, int& day) {
    return text.size() == 10 && text[4] == '-' && text[7] == '-' &&
           ReadDigits(text.data(), 0, 4, false, year) && ReadDigits(text.data(), 5, 2, false, month) &&
           ReadDigits(text.data(), 8, 2, false, day);
}

// "year-MM-DD", without the month when it is 0; returns the end.
char* PutDate(char* out, int year, int month, int day) {
    out = PutDecimal(out, quint64(year), 0, ' ');
    *out++ = '-';
    if (month != 0) {
        out = PutDecimal(out, quint64(month), 2, '0');
    }
    *out++ = '-';
    return PutDecimal(out, quint64(day), 2, '0');
}

} // namespace

void ItemTexts::Attach(ItemStore& store) {
    store_ = &store;
    months_.clear();
    monthSlots_.clear();
    std::fill(std::begin(unixClock_), std::end(unixClock_), 0);
    std::fill(std::begin(dosClock_), std::end(dosClock_), 0);
}

qint32 ItemTexts::MonthIndex(int year, int month) {
    const qint32 key = 1 + year * 16 + month; // year and month are at most 999999 and 12
    if (!monthSlots_.empty()) {
        const std::size_t mask = monthSlots_.size() - 1;
        for (std::size_t slot = (quint32(key) * 2654435761u) & mask;; slot = (slot + 1) & mask) {
            if (monthSlots_[slot].key == key) {
                return monthSlots_[slot].index;
            }
            if (monthSlots_[slot].key == 0) {
                break;
            }
        }
    }
    if (qsizetype(months_.size()) >= kMaxMonths) {
        return -1;
    }
    Month added;
    added.valid = year >= 1970 && year <= 9999 && month >= 1 && month <= 12;
    if (added.valid) {
        added.uniformStart = times_.UniformMonthStart(year, month);
    }
    months_.push_back(added);
    const qint32 index = qint32(months_.size() - 1);
    if (monthSlots_.size() < 2 * months_.size()) {
        std::vector<MonthSlot> old(std::max<std::size_t>(64, 2 * monthSlots_.size()));
        old.swap(monthSlots_);
        for (const MonthSlot& held : old) {
            if (held.key != 0) {
                const std::size_t mask = monthSlots_.size() - 1;
                std::size_t slot = (quint32(held.key) * 2654435761u) & mask;
                while (monthSlots_[slot].key != 0) {
                    slot = (slot + 1) & mask;
                }
                monthSlots_[slot] = held;
            }
        }
    }
    const std::size_t mask = monthSlots_.size() - 1;
    std::size_t slot = (quint32(key) * 2654435761u) & mask;
    while (monthSlots_[slot].key != 0) {
        slot = (slot + 1) & mask;
    }
    monthSlots_[slot] = {key, index};
    return index;
}

// A date of a month in the table: its text is made once per day.
ItemTexts::Date ItemTexts::MonthDate(int year, int month, int day, qint32 monthIndex) {
    quint32& text = months_[std::size_t(monthIndex)].dayText[day];
    if (text == 0) {
        char bytes[32];
        text = store_->AddText(QByteArrayView(bytes, PutDate(bytes, year, month, day) - bytes));
    }
    // Month and day have two digits here: the form needs a year of four.
    return {text, year >= 1000 && year <= 9999, year, month, day, monthIndex};
}

ItemTexts::Date ItemTexts::TextDate(QByteArrayView text) {
    Date date;
    date.text = store_->AddText(text);
    date.form = ReadDateForm(text, date.year, date.month, date.day);
    return date;
}

ItemTexts::Date ItemTexts::UnixDate(int year, int month, int day) {
    if (month != 0 && day <= 31) {
        if (const qint32 index = MonthIndex(year, month); index >= 0) {
            return MonthDate(year, month, day, index);
        }
    }
    char bytes[32];
    return TextDate(QByteArrayView(bytes, PutDate(bytes, year, month, day) - bytes));
}

ItemTexts::Date ItemTexts::DosDate(QByteArrayView text) {
    // "YYYY-MM-DD" with a real month is the text UnixDate makes of its numbers.
    int year = 0;
    int month = 0;
    int day = 0;
    if (ReadDateForm(text, year, month, day) && year >= 1000 && month >= 1 && month <= 12 && day <= 31) {
        if (const qint32 index = MonthIndex(year, month); index >= 0) {
            return MonthDate(year, month, day, index);
        }
    }
    return TextDate(text);
}

ItemTexts::Time ItemTexts::Clock(quint32 (&texts)[24 * 60], int hour, int minute, char pad) {
    quint32& text = texts[hour * 60 + minute];
    if (text == 0) {
        char bytes[8];
        char* end = PutDecimal(bytes, quint64(hour), 2, pad);
        *end++ = ':';
        end = PutDecimal(end, quint64(minute), 2, '0');
        text = store_->AddText(QByteArrayView(bytes, end - bytes));
    }
    return {text, hour * 3600 + minute * 60};
}

// An empty time is midnight; otherwise hour from bytes 1-2 and minute from 4-5 of "HH:MM".
ItemTexts::Time ItemTexts::TextTime(QByteArrayView text) {
    Time time;
    if (text.isEmpty()) {
        return time;
    }
    time.text = store_->AddText(text);
    int hour = 0;
    int minute = 0;
    const bool form = text.size() == 5 && text[2] == ':' && ReadDigits(text.data(), 0, 2, true, hour) &&
                      ReadDigits(text.data(), 3, 2, false, minute);
    time.intoDay = form && hour <= 23 && minute <= 59 ? hour * 3600 + minute * 60 : -1;
    return time;
}

ItemTexts::Time ItemTexts::UnixTime(int hour, int minute) {
    if (hour <= 23 && minute <= 59) {
        return Clock(unixClock_, hour, minute, '0');
    }
    char bytes[32];
    char* end = PutDecimal(bytes, quint64(hour), 2, '0');
    *end++ = ':';
    end = PutDecimal(end, quint64(minute), 2, '0');
    return TextTime(QByteArrayView(bytes, end - bytes));
}

ItemTexts::Time ItemTexts::DosTime(QByteArrayView text) {
    // " 9:05" or "13:05" is the text Clock makes of its numbers.
    int hour = 0;
    int minute = 0;
    if (text.size() == 5 && text[2] == ':' && ReadDigits(text.data(), 0, 2, true, hour) &&
        ReadDigits(text.data(), 3, 2, false, minute) && hour <= 23 && minute <= 59 &&
        (text[0] == ' ') == (hour < 10)) {
        return Clock(dosClock_, hour, minute, ' ');
    }
    return TextTime(text);
}

std::optional<qint64> ItemTexts::Modified(const Date& date, const Time& time) {
    if (!date.form || time.intoDay < 0) {
        return std::nullopt;
    }
    if (date.monthIndex >= 0) {
        const Month& month = months_[std::size_t(date.monthIndex)];
        if (!month.valid || !IsDayOfMonth(date.year, date.month, date.day)) {
            return std::nullopt;
        }
        if (month.uniformStart) {
            // As Convert has it for a month without a clock change.
            const qint64 seconds = *month.uniformStart + qint64(date.day - 1) * 86400 + time.intoDay;
            if (seconds < 0) {
                return std::nullopt; // before 1970 in UTC, which happens on 1 January 1970 east of Greenwich
            }
            return seconds;
        }
    }
    return times_.Convert(date.year, date.month, date.day, time.intoDay / 3600, time.intoDay / 60 % 60, 0);
}

} // namespace tessaly
