#pragma once

#include "listing/ItemStore.h"
#include "listing/LocalTimeCache.h"

#include <QByteArrayView>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace tessaly {

// Gives the items of one parse run their date and time texts and their time stamps. A date of the
// usual form is kept once per distinct day in the store the items share, and found again through
// its year and month; a time of day of the usual form once per minute of the day, found by the
// numbers; so an item costs two look-ups in small tables instead of formatting texts of its own.
// A text of any other form (numbers out of range, unknown month, unreadable tokens) is added for
// each item that shows it, at most 17 bytes.
//
// One ItemTexts serves one parse run on one thread.
class ItemTexts {
public:
    // A date: its text in the store, and what the time stamp is made of.
    struct Date {
        quint32 text = 0;  // offset in the store
        bool form = false; // the text is "YYYY-MM-DD", whose numbers are these
        int year = 0;
        int month = 0;
        int day = 0;
        qint32 monthIndex = -1; // of the year and month in the table of months, when it is in it
    };
    // A time of day: its text in the store, and the seconds since midnight it gives.
    struct Time {
        quint32 text = 0;   // offset in the store; 0 is the empty text
        qint32 intoDay = 0; // -1 for a text that gives no time of a day
    };

    explicit ItemTexts(LocalTimeCache& times) : times_(times) {}

    // Adds texts to store from now on; the texts of an earlier store are not used again.
    void Attach(ItemStore& store);
    ItemStore& store() const { return *store_; }

    // Unix style: "year-MM-DD" from numbers of at most RemoteItem::kMaxDateNumber, without the
    // month when it is 0 (unknown).
    Date UnixDate(int year, int month, int day);
    // Unix style: "HH:MM" from numbers of at most RemoteItem::kMaxDateNumber.
    Time UnixTime(int hour, int minute);
    // MS-DOS style: the date text as made from the line (at most 16 bytes).
    Date DosDate(QByteArrayView text);
    // MS-DOS style: the time text as made from the line ("HH:MM" with a blank-padded hour, or
    // anything else of at most 16 bytes).
    Time DosTime(QByteArrayView text);
    // No time: the empty text, midnight.
    static Time NoTime() { return {}; }

    // The seconds since 1970 of the date at the time, or nothing when they form no calendar time:
    // a date text other than "YYYY-MM-DD", a time text other than empty or "HH:MM" (a blank may
    // stand for the tens of the hour), or a date or time of day that does not exist. The same as
    // LocalTimeCache::Convert of the numbers.
    std::optional<qint64> Modified(const Date& date, const Time& time);

    // Distinct years and months whose day texts the table of months holds; the dates of further
    // months are added for each item.
    static constexpr qsizetype kMaxMonths = 4096;

private:
    // The days of one year and month seen so far.
    struct Month {
        quint32 dayText[32] = {};           // offsets of the texts of days 0 to 31; 0 until one is made
        bool valid = false;                 // a month from 1970 to 9999
        std::optional<qint64> uniformStart; // LocalTimeCache::UniformMonthStart
    };

    qint32 MonthIndex(int year, int month);
    Date MonthDate(int year, int month, int day, qint32 monthIndex);
    Date TextDate(QByteArrayView text);
    Time TextTime(QByteArrayView text);
    Time Clock(quint32 (&texts)[24 * 60], int hour, int minute, char pad);

    LocalTimeCache& times_;
    ItemStore* store_ = nullptr;
    std::vector<Month> months_;
    struct MonthSlot {
        qint32 key = 0;   // 1 + year * 16 + month; 0 for a free slot
        qint32 index = 0; // in months_
    };
    std::vector<MonthSlot> monthSlots_; // open addressing, at most half full
    // Filled by Attach:
    quint32 unixClock_[24 * 60]; // the offsets of "HH:MM" for each minute of the day; 0 until made
    quint32 dosClock_[24 * 60];  // the same with a blank-padded hour (" 9:05")
};

} // namespace tessaly
