#include "listing/RemoteItem.h"

#include "listing/ItemTexts.h"
#include "listing/ListingFields.h"
#include "listing/LocalTimeCache.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>

namespace tessaly {

namespace {

constexpr char kBlank = ' '; // fields are separated by runs of space characters, nothing else

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char ToUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

int ReadDateNumber(QByteArrayView text) {
    return int(std::min<quint64>(ReadDecimal(text), RemoteItem::kMaxDateNumber));
}

// Where the first CR or LF of the bytes is, or size when there is none.
qsizetype LineEnd(const char* data, qsizetype size) {
    const void* lf = std::memchr(data, '\n', std::size_t(size));
    const qsizetype lfAt = lf ? static_cast<const char*>(lf) - data : size;
    const void* cr = std::memchr(data, '\r', std::size_t(lfAt));
    return cr ? static_cast<const char*>(cr) - data : lfAt;
}

// Where the name of a Unix style link line ends: at the first " -> " from from on (the arrow ls and
// the servers put between a link's name and its target), or at size when there is none.
qsizetype LinkNameEnd(const char* data, qsizetype size, qsizetype from) {
    for (from = std::max<qsizetype>(from, 2); from + 1 < size;) {
        const void* found = std::memchr(data + from, '>', std::size_t(size - 1 - from));
        if (!found) {
            break;
        }
        const qsizetype at = static_cast<const char*>(found) - data;
        if (data[at - 1] == '-' && data[at - 2] == kBlank && data[at + 1] == kBlank) {
            return at - 2;
        }
        from = at + 1;
    }
    return size;
}

bool AllDigits(QByteArrayView text) {
    for (const char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

// One or more digits, then a comma and nothing else or digits: "1," or "1,3" of a device's size
// column "major, minor".
bool IsMajorField(QByteArrayView text, bool withMinor) {
    const qsizetype comma = text.indexOf(',');
    return comma > 0 && AllDigits(text.first(comma)) &&
           (withMinor ? comma + 1 < text.size() && AllDigits(text.sliced(comma + 1))
                      : comma + 1 == text.size());
}

// A year (one to four digits) or a time of day (one or two digits, a colon, one or two digits).
bool IsYearOrTime(QByteArrayView text) {
    const qsizetype colon = text.indexOf(':');
    if (colon < 0) {
        return !text.isEmpty() && text.size() <= 4 && AllDigits(text);
    }
    const QByteArrayView hour = text.first(colon);
    const QByteArrayView minute = text.sliced(colon + 1);
    return !hour.isEmpty() && hour.size() <= 2 && AllDigits(hour) && !minute.isEmpty() &&
           minute.size() <= 2 && AllDigits(minute);
}

// Days from 1970-01-01 to the date in the proleptic Gregorian calendar; a day past the end of its
// month counts on into the next.
qint64 DayNumber(qint64 year, int month, int day) {
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The year of a Unix date given with a time of day instead of a year: the latest year that puts
// the date at most one day after today (the server's clock or zone may run ahead a little). That is
// today's year unless the date lies further ahead in it (then the year before), or Jan 1 read on
// Dec 31 (then the next year). Dates without a known month or with a day beyond 31 are in today's
// year.
int YearOfRecentDate(int month, int day, const LocalDate& today) {
    const int year = std::clamp(today.year, 0, RemoteItem::kMaxDateNumber);
    if (month < 1 || month > 12 || day < 1 || day > 31 || today.month < 1 || today.month > 12 ||
        today.day < 1 || today.day > 31) {
        return year;
    }
    // Most dates lie before today in its year, or on today or tomorrow within its month.
    if (!(today.month == 12 && today.day == 31) &&
        (month < today.month || (month == today.month && day <= today.day + 1))) {
        return year;
    }
    const qint64 latest = DayNumber(year, today.month, today.day) + 1;
    for (int candidate = std::min(year + 1, RemoteItem::kMaxDateNumber); candidate >= year; --candidate) {
        if (DayNumber(candidate, month, day) <= latest) {
            return candidate;
        }
    }
    return std::max(year - 1, 0);
}

// 1 to 12 for the English three-letter month names in any letter case, 0 for anything else
// (longer words such as "January" included).
int MonthNumber(QByteArrayView field) {
    if (field.size() != 3) {
        return 0;
    }
    // Clearing bit 5 upper-cases ASCII letters; no other byte becomes a letter by it.
    auto upper = [&](int i) { return quint32(uchar(field[i]) & ~0x20u); };
    constexpr auto key = [](const char(&name)[4]) {
        return quint32(uchar(name[0])) << 16 | quint32(uchar(name[1])) << 8 | quint32(uchar(name[2]));
    };
    switch (upper(0) << 16 | upper(1) << 8 | upper(2)) {
    case key("JAN"):
        return 1;
    case key("FEB"):
        return 2;
    case key("MAR"):
        return 3;
    case key("APR"):
        return 4;
    case key("MAY"):
        return 5;
    case key("JUN"):
        return 6;
    case key("JUL"):
        return 7;
    case key("AUG"):
        return 8;
    case key("SEP"):
        return 9;
    case key("OCT"):
        return 10;
    case key("NOV"):
        return 11;
    case key("DEC"):
        return 12;
    default:
        return 0;
    }
}

// Where the date of a Unix style line lies, as FindDate finds it.
struct DateFields {
    static constexpr int kNone = -1;   // the fields hold no date
    static constexpr int kNoName = -2; // the line ends with its date
    int monthField = kNone;
    int month = 0;       // 1 to 12
    bool device = false; // the size column is a device's "major, minor" or "major,minor"
};

// The date of a Unix style line: the first English month name from the fourth field on that is
// followed by a day (one or two digits) and a year or time, and that follows a size (digits, or a
// device's numbers). The fields are those FindFields found when asked for wanted fields.
DateFields FindDate(QByteArrayView line, const LineFields& fields, int wanted) {
    auto field = [&](int index) { return fields.Field(line.data(), index); };
    DateFields date;
    // The end of the year or time must have been found, so it may not be the last field asked for.
    for (int m = 3; m + 2 < fields.count && m + 2 < wanted - 1; ++m) {
        const QByteArrayView day = field(m + 1);
        if (day.isEmpty() || day.size() > 2 || !AllDigits(day) || fields.ends[m] - fields.starts[m] != 3) {
            continue;
        }
        const int month = MonthNumber(field(m));
        if (month == 0 || !IsYearOrTime(field(m + 2))) {
            continue;
        }
        const QByteArrayView size = field(m - 1);
        if (!size.isEmpty() && AllDigits(size)) {
            date.device = m >= 5 && IsMajorField(field(m - 2), false); // "1, 3"
        } else if (IsMajorField(size, true)) {
            date.device = true; // "1,3"
        } else {
            continue;
        }
        date.monthField = m + 3 < fields.count ? m : DateFields::kNoName;
        date.month = month;
        return date;
    }
    return date;
}

bool EqualsIgnoringCase(QByteArrayView text, const char* upper) {
    const qsizetype length = qsizetype(std::strlen(upper));
    if (text.size() != length) {
        return false;
    }
    for (qsizetype i = 0; i < length; ++i) {
        if (ToUpperAscii(text[i]) != upper[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

static_assert(sizeof(RemoteItem) <= 48, "an item is held for each entry of a listing");

LocalDate LocalDate::Today() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    if (localtime_r(&now, &fields) == nullptr) {
        return LocalDate{};
    }
    return LocalDate{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday};
}

RemoteItem::RemoteItem(const QByteArray& line, const LocalDate& today) {
    LocalTimeCache times;
    *this = RemoteItem(line, 0, LineEnd(line.constData(), line.size()), today, times);
}

RemoteItem::RemoteItem(const QByteArray& line, const LocalDate& today, LocalTimeCache& times)
    : RemoteItem(line, 0, LineEnd(line.constData(), line.size()), today, times) {}

RemoteItem::RemoteItem(const QByteArray& buffer, qsizetype start, qsizetype length, const LocalDate& today,
                       LocalTimeCache& times) {
    Q_ASSERT(start >= 0 && length >= 0 && start + length <= buffer.size());
    if (length > ItemStore::kMaxOffset) {
        return; // no directory entry takes 4 GiB; the offsets are 32 bits wide
    }
    QExplicitlySharedDataPointer<ItemStore> store(new ItemStore);
    QByteArray shared = buffer;
    if (shared.data_ptr().isMutable()) {
        store->SetLines(std::move(shared), start);
    } else {
        // Bytes the array does not own (fromRawData, literals) may go away: keep a copy of the line.
        store->SetLines(QByteArray(buffer.constData() + start, length), 0);
    }
    ItemTexts texts(times);
    texts.Attach(*store);
    store_ = std::move(store);
    Parse(QByteArrayView(store_->lines(), length), today, texts);
}

RemoteItem::RemoteItem(QByteArrayView line, const LocalDate& today, ItemTexts& texts) {
    if (line.size() > ItemStore::kMaxOffset) {
        return; // no directory entry takes 4 GiB; the offsets are 32 bits wide
    }
    store_ = &texts.store();
    Parse(line, today, texts);
}

void RemoteItem::Parse(QByteArrayView line, const LocalDate& today, ItemTexts& texts) {
    rawLength_ = quint32(line.size());
    if (line.isEmpty()) {
        return;
    }
    dosStyle_ = IsDigit(line[0]);
    valid_ = dosStyle_ ? ParseDos(line, texts) : ParseUnix(line, today, texts);
}

// "05-12-03  12:30PM       <DIR>          pub" or "05-12-99  09:00AM      1024 a b.txt": date,
// time, "<DIR>" or the size, name.
bool RemoteItem::ParseDos(QByteArrayView line, ItemTexts& texts) {
    isDirectory_ = line.indexOf(QByteArrayView("<DIR>")) >= 0;
    // Date, time, size or "<DIR>", then the name: a line that ends before the name is invalid.
    const LineFields fields = FindFields(line.data(), line.size(), 4);

    // Date, month-day-year. The year is the number from the seventh byte on: two digits count from
    // 1970 to 2069; four digits ("12-07-2026") are the year as written. The text is the year, a "-"
    // and the whole token, cut to ten bytes: "05-12-03" gives "2003-05-12".
    const QByteArrayView date = fields.Field(line.data(), 0);
    int year = 2000;
    if (date.size() > 6) {
        const QByteArrayView yearDigits = date.sliced(6);
        qsizetype digitCount = 0;
        while (digitCount < yearDigits.size() && digitCount < 5 && IsDigit(yearDigits[digitCount])) {
            ++digitCount;
        }
        const int number = ReadDateNumber(yearDigits);
        year = digitCount == 4 ? number : (number < 70 ? 2000 + number : 1900 + number);
    }
    ItemTexts::Date dateFound;
    {
        char text[32];
        char* end = PutDecimal(text, quint64(year), 0, kBlank);
        *end++ = '-';
        const qsizetype copied = std::min<qsizetype>(date.size(), 10);
        std::memcpy(end, date.data(), std::size_t(copied));
        end += copied;
        dateFound = texts.DosDate(QByteArrayView(text, std::min<qsizetype>(end - text, 10)));
        dateText_ = dateFound.text;
    }
    if (fields.count < 4) {
        return false;
    }

    // Time, "10:25AM": 12-hour clock to 24-hour, blank-padded: "12:15AM" gives " 0:15". Without
    // "AM" or "PM" ("12:30") the time is on the 24-hour clock already.
    const QByteArrayView time = fields.Field(line.data(), 1);
    {
        int hour = ReadDateNumber(time);
        const QByteArrayView suffix = time.size() > 5 ? time.sliced(5) : QByteArrayView();
        if (EqualsIgnoringCase(suffix, "PM")) {
            hour = hour == 12 ? hour : hour + 12;
        } else if (hour == 12 && EqualsIgnoringCase(suffix, "AM")) {
            hour = 0;
        }
        char text[32];
        char* end = PutDecimal(text, quint64(hour), 2, kBlank);
        if (time.size() > 2) {
            const qsizetype copied = std::min<qsizetype>(time.size() - 2, 5);
            std::memcpy(end, time.data() + 2, std::size_t(copied));
            end += copied;
        }
        qsizetype length = std::min<qsizetype>(end - text, 5);
        if (length > 0 && !IsDigit(text[length - 1])) {
            --length; // the "A" of "AM" that the cut left
        }
        const ItemTexts::Time timeFound = texts.DosTime(QByteArrayView(text, length));
        timeText_ = timeFound.text;
        SetModified(texts.Modified(dateFound, timeFound));
    }

    // The name starts one blank after the size. IIS pads "<DIR>" to the width of its size column
    // and puts the name ten blanks after it; other servers put it after a run of blanks.
    const QByteArrayView sizeOrMarker = fields.Field(line.data(), 2);
    if (!isDirectory_) {
        size_ = ReadDecimal(sizeOrMarker);
        hasSizeText_ = true;
    }
    const qsizetype gap = fields.starts[3] - fields.ends[2];
    if (sizeOrMarker == QByteArrayView("<DIR>")) {
        nameOffset_ = quint32(gap >= 10 ? fields.ends[2] + 10 : fields.starts[3]);
    } else {
        nameOffset_ = quint32(fields.ends[2] + 1);
    }
    return true;
}

// "drwxr-xr-x   2 owner group     4096 Jan  5  2003 my docs": type and permissions, link count,
// owner, group (some servers leave it out), size ("major, minor" for a device), month, day, year or
// time of day, name.
bool RemoteItem::ParseUnix(QByteArrayView line, const LocalDate& today, ItemTexts& texts) {
    const char type = line[0];
    isDirectory_ = type == 'd' || type == 'l';
    if (type == 'l') {
        rawLength_ = quint32(LinkNameEnd(line.data(), line.size(), 1));
        line = line.first(qsizetype(rawLength_));
    }

    // The fields up to the name. A leading blank makes an empty first field. Nine fields hold the
    // date and the start of the name of all but device lines with a group column; more are looked
    // for only when the date is not among them.
    LineFields fields = FindFields(line.data(), line.size(), 9);
    if (fields.count < 2) {
        return false; // no blank at all
    }
    permissionLength_ = quint32(fields.ends[0]); // bytes 1 to the first blank: the letters and the blank
    DateFields found = FindDate(line, fields, 9);
    if (found.monthField == DateFields::kNone && fields.count == 9) {
        fields = FindFields(line.data(), line.size(), LineFields::kMaxFields);
        found = FindDate(line, fields, LineFields::kMaxFields);
    }
    if (found.monthField == DateFields::kNoName) {
        return false; // the line ends with its date
    }
    auto field = [&](int index) { return fields.Field(line.data(), index); };
    int monthField = found.monthField;
    int month = found.month;
    if (monthField == DateFields::kNone) {
        // No such date (a month in another language, unreadable date fields): the fields are
        // counted as the original program did. Nine fields or more hold a group column; with eight
        // or fewer the listing is taken to have none.
        const int sizeField = fields.count >= 9 ? 4 : 3;
        if (fields.count < sizeField + 5) {
            return false; // the line ends before the name
        }
        monthField = sizeField + 1;
        month = MonthNumber(field(monthField));
    }

    size_ = found.device ? 0 : ReadDecimal(field(monthField - 1));
    hasSizeText_ = true;
    const int day = ReadDateNumber(field(monthField + 1));
    const QByteArrayView yearOrTime = field(monthField + 2);
    nameOffset_ = quint32(fields.ends[monthField + 2] + 1); // one blank after the year or time

    // A time of day instead of a year means a date of the last months.
    int year = 0;
    ItemTexts::Time time = ItemTexts::NoTime();
    const qsizetype colon = yearOrTime.indexOf(':');
    if (colon >= 0) {
        year = YearOfRecentDate(month, day, today);
        time = texts.UnixTime(ReadDateNumber(yearOrTime), ReadDateNumber(yearOrTime.sliced(colon + 1)));
        timeText_ = time.text;
    } else {
        year = ReadDateNumber(yearOrTime);
    }
    const ItemTexts::Date date = texts.UnixDate(year, month, day);
    dateText_ = date.text;
    SetModified(texts.Modified(date, time));
    return true;
}

void RemoteItem::SetModified(std::optional<qint64> seconds) {
    if (seconds) {
        Q_ASSERT(*seconds >= 0 && *seconds < (qint64(1) << 40));
        modified_ = quint64(*seconds);
        hasModified_ = true;
    }
}

QByteArray RemoteItem::sizeText() const {
    if (!hasSizeText_) {
        return {};
    }
    char text[32];
    char* end = PutDecimal(text, size_ / 1024 + 1, 0, kBlank);
    std::memcpy(end, " KB", 3);
    return QByteArray(text, end + 3 - text);
}

bool operator==(const RemoteItem& a, const RemoteItem& b) {
    return a.valid_ == b.valid_ && a.dosStyle_ == b.dosStyle_ && a.isDirectory_ == b.isDirectory_ &&
           a.size_ == b.size_ && a.hasSizeText_ == b.hasSizeText_ && a.modified() == b.modified() &&
           a.rawLine() == b.rawLine() && a.nameOffset_ == b.nameOffset_ &&
           a.permissionLength_ == b.permissionLength_ && a.dateText() == b.dateText() &&
           a.timeText() == b.timeText();
}

} // namespace tessaly
