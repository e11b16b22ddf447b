#include "listing/RemoteItem.h"

#include "listing/ItemTexts.h"
#include "listing/ListingFields.h"
#include "listing/LocalTimeCache.h"

#include <algorithm>
#include <cstring>
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

// Where a Unix style line ends once a link target is cut off: at the first "->", or at the blank
// before it when there is one; size when the line holds no arrow.
qsizetype UnixLineEnd(const char* data, qsizetype size) {
    for (qsizetype from = 1; from < size;) {
        const void* found = std::memchr(data + from, '>', std::size_t(size - from));
        if (!found) {
            break;
        }
        const qsizetype at = static_cast<const char*>(found) - data;
        if (data[at - 1] == '-') {
            const qsizetype arrow = at - 1;
            return arrow > 0 && data[arrow - 1] == kBlank ? arrow - 1 : arrow;
        }
        from = at + 1;
    }
    return size;
}

// 1 to 12 for the English three-letter month names in any letter case, 0 for anything else
// (longer words such as "January" included).
int MonthNumber(QByteArrayView field) {
    static constexpr char kNames[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
    if (field.size() != 3) {
        return 0;
    }
    const char a = ToUpperAscii(field[0]);
    const char b = ToUpperAscii(field[1]);
    const char c = ToUpperAscii(field[2]);
    for (int month = 0; month < 12; ++month) {
        if (kNames[3 * month] == a && kNames[3 * month + 1] == b && kNames[3 * month + 2] == c) {
            return month + 1;
        }
    }
    return 0;
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

RemoteItem::RemoteItem(const QByteArray& line, int currentLocalYear) {
    LocalTimeCache times;
    *this = RemoteItem(line, 0, LineEnd(line.constData(), line.size()), currentLocalYear, times);
}

RemoteItem::RemoteItem(const QByteArray& line, int currentLocalYear, LocalTimeCache& times)
    : RemoteItem(line, 0, LineEnd(line.constData(), line.size()), currentLocalYear, times) {}

RemoteItem::RemoteItem(const QByteArray& buffer, qsizetype start, qsizetype length, int currentLocalYear,
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
    Parse(QByteArrayView(store_->lines(), length), currentLocalYear, texts);
}

RemoteItem::RemoteItem(QByteArrayView line, int currentLocalYear, ItemTexts& texts) {
    if (line.size() > ItemStore::kMaxOffset) {
        return; // no directory entry takes 4 GiB; the offsets are 32 bits wide
    }
    store_ = &texts.store();
    Parse(line, currentLocalYear, texts);
}

void RemoteItem::Parse(QByteArrayView line, int currentLocalYear, ItemTexts& texts) {
    rawLength_ = quint32(line.size());
    if (line.isEmpty()) {
        return;
    }
    dosStyle_ = IsDigit(line[0]);
    valid_ = dosStyle_ ? ParseDos(line, texts) : ParseUnix(line, currentLocalYear, texts);
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

    // Time, "10:25AM": 12-hour clock to 24-hour, blank-padded: "12:15AM" gives " 0:15".
    const QByteArrayView time = fields.Field(line.data(), 1);
    {
        int hour = ReadDateNumber(time);
        const bool pm = time.size() > 5 && EqualsIgnoringCase(time.sliced(5), "PM");
        if (pm) {
            hour = hour == 12 ? hour : hour + 12;
        } else if (hour == 12) {
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

    if (!isDirectory_) {
        size_ = ReadDecimal(fields.Field(line.data(), 2));
        hasSizeText_ = true;
    }
    nameOffset_ = quint32(fields.starts[3]);
    return true;
}

// "drwxr-xr-x   2 owner group     4096 Jan  5  2003 my docs": type and permissions, link count,
// owner, group (missing when the line has eight fields or fewer), size, month, day, year or time of
// day, name.
bool RemoteItem::ParseUnix(QByteArrayView line, int currentLocalYear, ItemTexts& texts) {
    isDirectory_ = line[0] != '-';
    rawLength_ = quint32(UnixLineEnd(line.data(), line.size()));
    line = line.first(qsizetype(rawLength_));

    // The fields up to the nine that decide about the group column. A leading blank makes an empty
    // first field.
    const LineFields fields = FindFields(line.data(), line.size(), 9);
    if (fields.count < 2) {
        return false; // no blank at all
    }
    permissionLength_ = quint32(fields.ends[0]); // bytes 1 to the first blank: the letters and the blank

    // Permissions, link count and owner, then the group unless there are only eight fields; then
    // size, month, day, year or time, and the name. A line that ends before the name is invalid.
    const int sizeField = fields.count >= 9 ? 4 : 3;
    if (fields.count < sizeField + 5) {
        return false;
    }
    auto field = [&](int index) { return fields.Field(line.data(), index); };
    size_ = ReadDecimal(field(sizeField));
    hasSizeText_ = true;
    const int month = MonthNumber(field(sizeField + 1));
    const int day = ReadDateNumber(field(sizeField + 2));
    const QByteArrayView yearOrTime = field(sizeField + 3);
    nameOffset_ = quint32(fields.starts[sizeField + 4]);

    // A time of day instead of a year means the current year.
    int year = 0;
    ItemTexts::Time time = ItemTexts::NoTime();
    const qsizetype colon = yearOrTime.indexOf(':');
    if (colon >= 0) {
        year = std::clamp(currentLocalYear, 0, kMaxDateNumber);
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
