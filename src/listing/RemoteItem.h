#pragma once

#include "listing/ItemStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QExplicitlySharedDataPointer>
#include <QtGlobal>
#include <optional>

namespace tessaly {

class ItemTexts;
class ListingAssembly;
class LocalTimeCache;

// A local calendar date: the day on which a listing is read. Unix listings give the time of day
// instead of the year for recent files, so the year of such a date is decided from this day.
struct LocalDate {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31

    // Today in the local time zone.
    static LocalDate Today();
};

// One file or directory of a remote listing, parsed from one listing line.
//
// Two line forms are understood. A line whose first byte is a decimal digit is read in the MS-DOS
// style of Windows servers ("05-12-03  12:30PM       <DIR>          pub"); any other line in the Unix
// long-listing style ("drwxr-xr-x   2 owner group     4096 Jan  5  2003 my docs"). A line that does
// not parse gives an item whose valid() is false; the listing parser drops those.
//
// Unix style lines are read by finding the date: the first English month name (any case) from the
// fourth field on that is followed by a day (one or two digits), a year (digits) or a time of day
// ("10:25"), and a name, and that follows a size. So the group column may be missing, and a device's
// size column "major, minor" ("1, 3" or "1,3", size 0) is read, whatever blanks the name holds. A line
// without such a date (a month in another language, over-long or unreadable date fields) is read by
// counting fields as the original program did: with nine fields or more the fourth is the group,
// with fewer there is none. The name starts one blank after the year or time field, so its leading
// blanks are kept, and runs to the end of the line; on link lines (type "l") it ends before the first
// " -> ". A name must hold more than blanks.
//
// MS-DOS style: the name of a file starts one blank after its size; the name of a "<DIR>" entry ten
// blanks after the marker, where IIS puts it, or at the first non-blank when fewer blanks follow.
// A time with "AM" or "PM" is turned into the 24-hour clock; one without is taken as given.
//
// Unusual lines are read this way. Nothing is cut for length (only a line of 4 GiB or more is
// invalid). A number is its field's leading ASCII digits, 0 when there are none; a size beyond 64
// bits is the largest 64-bit number; date and time numbers are read as at most kMaxDateNumber. A
// month is a whole three-letter field in any case ("jan"; "January" is no month). An MS-DOS date
// with a four-digit year ("12-07-2026") is that year. A date that forms no calendar time from 1970
// on leaves the item without a time stamp but valid.
//
// The item keeps the line's bytes by sharing the buffer it came from (one reference, no copy), and
// shares its date and time texts with the items parsed along with it (see ItemStore); it holds only
// offsets and numbers itself, so parsing allocates nothing per line and an item takes 48 bytes.
// Names and texts are bytes as the server sent them, of any length and encoding, NUL bytes included.
//
// The text accessors return views into what the item shares. A view stays valid only while the item
// it came from lives unchanged where it is: destroying, assigning or moving the item (a QList that
// grows moves its items) ends it. Copy the bytes (toByteArray()) to keep them.
class RemoteItem {
public:
    // An empty item that comes from no line; it is not valid.
    RemoteItem() = default;
    // Parses one line. Bytes from the first CR or LF on are not part of it. A year-less Unix date
    // ("Mar  7 10:25") is taken to lie in the year of today, unless it would then lie more than a
    // day after today: then it lies in the year before (servers give the time of day instead of the
    // year for files of the last months). A date that lies tomorrow in the next year (Jan 1 read on
    // Dec 31) lies in the next year.
    RemoteItem(const QByteArray& line, const LocalDate& today);
    // The same, converting dates through a cache shared by the lines of one listing.
    RemoteItem(const QByteArray& line, const LocalDate& today, LocalTimeCache& times);
    // Parses the length bytes at start of buffer as one line and shares buffer. The range must lie
    // inside buffer and hold no CR or LF (a line as ParseListing splits them); any that it holds are
    // taken as part of the line.
    RemoteItem(const QByteArray& buffer, qsizetype start, qsizetype length, const LocalDate& today,
               LocalTimeCache& times);

    bool valid() const { return valid_; }
    // True for MS-DOS style lines, false for Unix style ones.
    bool dosStyle() const { return dosStyle_; }
    // MS-DOS style: the line holds "<DIR>". Unix style: the type letter is "d" (a directory) or "l"
    // (a link, which the panes treat as a directory); FIFOs, sockets, devices and every other type
    // are files.
    bool isDirectory() const { return isDirectory_; }
    // The byte size the listing gives (0 for MS-DOS directories). Sizes too large for 64 bits read
    // as the largest 64-bit number.
    quint64 size() const { return size_; }
    // Seconds since 1970 of the local date and time of the listing, or nothing when they do not form
    // a calendar time from 1970 on (unknown month, unreadable or over-long date fields, year 0...).
    std::optional<qint64> modified() const {
        return hasModified_ ? std::optional<qint64>(qint64(modified_)) : std::nullopt;
    }

    // The line as received; for Unix style link lines (type "l") cut before the link arrow " -> ".
    QByteArrayView rawLine() const {
        return store_ ? QByteArrayView(store_->lines() + lineStart_, qsizetype(rawLength_))
                      : QByteArrayView();
    }
    // The rest of the line from one blank after the last field before it (the year or time of day,
    // the size or "<DIR>"), blanks at its start, inside and at the end included.
    QByteArrayView name() const { return rawLine().sliced(nameOffset_); }
    // Unix style: the bytes after the type letter up to and including the first blank, for example
    // "rwxr-xr-x " (empty when the line starts with a blank). Empty for MS-DOS style lines.
    QByteArrayView permissionText() const {
        return permissionLength_ == 0 ? QByteArrayView() : rawLine().sliced(1, permissionLength_);
    }
    // Year-month-day, for example "2003-05-12".
    QByteArrayView dateText() const { return store_ ? store_->Text(dateText_) : QByteArrayView(); }
    // Hours and minutes, for example "10:25" or " 9:00" (MS-DOS style, blank-padded), or empty when
    // the listing gives a year instead of a time.
    QByteArrayView timeText() const { return store_ ? store_->Text(timeText_) : QByteArrayView(); }
    // The size in kilobytes plus one as the pane shows it ("%llu KB" of size / 1024 + 1, so a 0-byte
    // file shows "1 KB"); empty for MS-DOS directories, which give no size.
    QByteArray sizeText() const;

    // Same parse result: every accessor above answers the same (the buffers may differ).
    friend bool operator==(const RemoteItem& a, const RemoteItem& b);

    // Date and time numbers are read as at most this; the texts then take at most 16 bytes. Such
    // numbers never form a calendar time anyway.
    static constexpr int kMaxDateNumber = 999999;

private:
    friend class ListingAssembly; // parses the lines of a listing into items that share one store

    // Parses line into an item that shares texts' store, whose lines the line is not yet part of:
    // the caller sets lineStart_ to where it will lie. Until then only the accessors that read no
    // line bytes (valid, dosStyle, isDirectory, size, modified, dateText, timeText, sizeText) may
    // be used.
    RemoteItem(QByteArrayView line, const LocalDate& today, ItemTexts& texts);
    // True for an item worth listing: valid, and not the entry "." or "..". Only for an item whose
    // line bytes are still those of line (shared or not).
    bool Listable(QByteArrayView line) const {
        if (!valid_) {
            return false;
        }
        const QByteArrayView name = line.sliced(nameOffset_, qsizetype(rawLength_ - nameOffset_));
        return name != QByteArrayView(".") && name != QByteArrayView("..");
    }

    void Parse(QByteArrayView line, const LocalDate& today, ItemTexts& texts);
    bool ParseDos(QByteArrayView line, ItemTexts& texts);
    bool ParseUnix(QByteArrayView line, const LocalDate& today, ItemTexts& texts);
    void SetModified(std::optional<qint64> seconds);

    QExplicitlySharedDataPointer<ItemStore> store_; // the line and the texts; none for an empty item
    quint64 size_ = 0;
    quint64 modified_ : 40 = 0; // seconds since 1970, up to the year 9999
    quint64 valid_ : 1 = false;
    quint64 dosStyle_ : 1 = false;
    quint64 isDirectory_ : 1 = false;
    quint64 hasSizeText_ : 1 = false;
    quint64 hasModified_ : 1 = false;
    quint32 lineStart_ = 0; // from the store's lines
    quint32 rawLength_ = 0;
    quint32 nameOffset_ = 0;       // into rawLine
    quint32 permissionLength_ = 0; // permissionText is rawLine bytes 1 to permissionLength_
    quint32 dateText_ = 0;         // offsets of the texts in the store
    quint32 timeText_ = 0;
};

} // namespace tessaly

Q_DECLARE_TYPEINFO(tessaly::RemoteItem, Q_RELOCATABLE_TYPE);
