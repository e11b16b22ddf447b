#include "settings/IniDocument.h"

#include <QStringDecoder>
#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace tessaly {

namespace {

constexpr QByteArrayView kByteOrderMark("\xEF\xBB\xBF", 3);

bool SameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool HasLineBreak(QStringView text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

bool IsWritableSection(QStringView name) {
    return !name.isEmpty() && !HasLineBreak(name) && !name.contains(u']');
}

bool IsWritableKey(QStringView name) {
    if (name.isEmpty() || HasLineBreak(name) || name.contains(u'=')) {
        return false;
    }
    const QChar first = name.front();
    return first != u'[' && first != u';' && first != u'#';
}

// The file holds one line per key, so a value with line breaks in it is stored with each break (CR LF,
// CR or LF) turned into one space; it reads back on one line.
QString OneLine(QStringView value) {
    QString text = value.toString();
    text.replace(u"\r\n"_s, u" "_s);
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

IniDocument IniDocument::parse(QByteArrayView bytes) {
    IniDocument document;
    if (bytes.startsWith(kByteOrderMark)) {
        document.byteOrderMark_ = true;
        bytes = bytes.sliced(kByteOrderMark.size());
    }
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) {
            end = bytes.size();
        }
        QByteArrayView line = bytes.sliced(start, end - start);
        while (line.endsWith('\r')) {
            line.chop(1);
        }
        document.lines_.push_back(parseLine(line.toByteArray()));
        start = end + 1;
    }
    return document;
}

QByteArray IniDocument::serialize() const {
    qsizetype size = byteOrderMark_ ? kByteOrderMark.size() : 0;
    for (const Line& line : lines_) {
        size += line.raw.size() + 1;
    }
    QByteArray bytes;
    bytes.reserve(size);
    if (byteOrderMark_) {
        bytes += kByteOrderMark;
    }
    for (const Line& line : lines_) {
        bytes += line.raw;
        bytes += '\n';
    }
    return bytes;
}

IniDocument::Line IniDocument::parseLine(QByteArray raw) {
    Line line;
    line.raw = std::move(raw);
    const QByteArrayView head = QByteArrayView(line.raw).first(std::min(line.raw.size(), kIniMaxLineBytes));
    // QString::fromUtf8 would drop a byte order mark at the start of each line; keep it as U+FEFF.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder(head);
    const QStringView trimmed = QStringView(text).trimmed();
    if (trimmed.isEmpty() || trimmed.front() == u';' || trimmed.front() == u'#') {
        return line;
    }
    if (trimmed.front() == u'[') {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            line.kind = LineKind::Section;
            line.name = trimmed.sliced(1, close - 1).trimmed().toString();
        }
        return line;
    }
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals < 0) {
        return line;
    }
    const QStringView key = trimmed.first(equals).trimmed();
    if (key.isEmpty()) {
        return line;
    }
    line.kind = LineKind::Entry;
    line.name = key.toString();
    line.value = trimmed.sliced(equals + 1).trimmed().toString();
    // '=' is ASCII and never part of a multi-byte UTF-8 sequence, so its first byte is the first '='.
    qsizetype prefix = head.indexOf('=') + 1;
    while (prefix < head.size() && (head[prefix] == ' ' || head[prefix] == '\t')) {
        ++prefix;
    }
    line.valuePrefix = prefix;
    return line;
}

qsizetype IniDocument::findEntry(QStringView section, QStringView key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Section) {
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == LineKind::Entry && SameName(line.name, key)) {
            return static_cast<qsizetype>(i);
        }
    }
    return -1;
}

qsizetype IniDocument::findInsertPosition(QStringView section) const {
    const auto header = std::find_if(lines_.begin(), lines_.end(), [section](const Line& line) {
        return line.kind == LineKind::Section && SameName(line.name, section);
    });
    if (header == lines_.end()) {
        return -1;
    }
    // After the section's last entry, so blank lines and comments before the next header stay there.
    auto position = header + 1;
    for (auto it = header + 1; it != lines_.end() && it->kind != LineKind::Section; ++it) {
        if (it->kind == LineKind::Entry) {
            position = it + 1;
        }
    }
    return position - lines_.begin();
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const {
    section = section.trimmed();
    key = key.trimmed();
    if (section.isEmpty() || key.isEmpty()) {
        return std::nullopt;
    }
    const qsizetype at = findEntry(section, key);
    if (at < 0) {
        return std::nullopt;
    }
    return lines_[static_cast<std::size_t>(at)].value;
}

bool IniDocument::setValue(QStringView section, QStringView key, QStringView value) {
    section = section.trimmed();
    key = key.trimmed();
    if (!IsWritableSection(section) || !IsWritableKey(key)) {
        return false;
    }
    const QByteArray text = OneLine(value).toUtf8();
    if (const qsizetype at = findEntry(section, key); at >= 0) {
        Line& line = lines_[static_cast<std::size_t>(at)];
        line = parseLine(line.raw.first(line.valuePrefix) + text);
        return true;
    }
    QByteArray entry = key.toUtf8() + '=' + text;
    if (const qsizetype at = findInsertPosition(section); at >= 0) {
        lines_.insert(lines_.begin() + at, parseLine(std::move(entry)));
        return true;
    }
    if (!lines_.empty() && !lines_.back().raw.trimmed().isEmpty()) {
        lines_.push_back(parseLine({}));
    }
    lines_.push_back(parseLine('[' + section.toUtf8() + ']'));
    lines_.push_back(parseLine(std::move(entry)));
    return true;
}

int ParseLeadingInt(QStringView text) {
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate the magnitude in 64 bits and stop growing it once it is past every int.
    constexpr qint64 kPastInt = qint64(std::numeric_limits<int>::max()) + 2;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            break;
        }
        magnitude = std::min(magnitude * 10 + (c - u'0'), kPastInt);
    }
    const qint64 result = negative ? -magnitude : magnitude;
    return static_cast<int>(
        std::clamp<qint64>(result, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace tessaly
