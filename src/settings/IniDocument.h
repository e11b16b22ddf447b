#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace tessaly {

// A settings file larger than this is left alone: reads see no file, writes refuse.
inline constexpr qsizetype kIniMaxFileBytes = 4 * 1024 * 1024;
// Only this many bytes of a line are looked at; the rest of a longer line is kept on rewrite but not read.
inline constexpr qsizetype kIniMaxLineBytes = 64 * 1024;

// The lines of one INI file, parsed from and serialised to UTF-8 bytes; no file access.
//
// "[name]" opens a section; "key=value" inside a section holds a value. Names compare without regard
// to case, and whitespace around names and values is trimmed on read. Every other line (comments
// starting with ';' or '#', blank lines, anything unparsable, keys before the first section) is kept
// byte for byte on rewrite and ignored on read. Reading accepts "\n" and "\r\n"; serialising writes "\n".
class IniDocument {
public:
    IniDocument() = default;

    static IniDocument parse(QByteArrayView bytes);
    QByteArray serialize() const;

    // The trimmed text of the first matching key in a section of that name, or nothing when absent.
    std::optional<QString> value(QStringView section, QStringView key) const;

    // Replaces the value of the first matching key in place, keeping the key's own spelling and the
    // text up to the '=', or appends the key at the end of its section, or appends a new section at
    // the end. Line breaks in the value become spaces. False (document unchanged) when a name cannot
    // be written as one line that reads back the same: empty, containing a line break, a key with '='
    // or starting with '[', ';' or '#', a section name with ']'.
    bool setValue(QStringView section, QStringView key, QStringView value);

private:
    enum class LineKind { Other, Section, Entry };

    struct Line {
        QByteArray raw; // the line as stored, without its line end
        LineKind kind = LineKind::Other;
        QString name;              // section name or key, trimmed
        QString value;             // value of an entry, trimmed
        qsizetype valuePrefix = 0; // bytes of raw kept when an entry's value is replaced
    };

    static Line parseLine(QByteArray raw);
    // Index of the first entry for key in a section named section, or -1.
    qsizetype findEntry(QStringView section, QStringView key) const;
    // Index where a new key of the first section named section goes, or -1 when there is none.
    qsizetype findInsertPosition(QStringView section) const;

    std::vector<Line> lines_;
    bool byteOrderMark_ = false; // a leading UTF-8 BOM, kept on rewrite
};

// The leading decimal number of text after trimming: an optional sign, then ASCII digits; 0 when there
// are no digits. Values beyond the int range are clamped to it.
int ParseLeadingInt(QStringView text);

} // namespace tessaly
