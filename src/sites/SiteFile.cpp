#include "sites/SiteFile.h"

#include <QtEndian>
#include <array>
#include <optional>

namespace tessaly {

namespace {

// The record's fields in file order: a text, or the port between password and remote path.
enum class Field { Text, Port };
struct RecordField {
    Field kind;
    QByteArray SiteProfile::*text;
};
constexpr std::array<RecordField, 7> kRecordFields = {{
    {Field::Text, &SiteProfile::label},
    {Field::Text, &SiteProfile::address},
    {Field::Text, &SiteProfile::userName},
    {Field::Text, &SiteProfile::password},
    {Field::Port, nullptr},
    {Field::Text, &SiteProfile::remotePath},
    {Field::Text, &SiteProfile::note},
}};
constexpr qsizetype kFillerSize = 4;

// Every byte of a text is stored with its two halves exchanged; the exchange undoes itself.
QByteArray SwapNibbles(QByteArrayView bytes) {
    QByteArray out(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = static_cast<char>(static_cast<unsigned char>((byte << 4) | (byte >> 4)));
    }
    return out;
}

quint32 ReadU32(QByteArrayView bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

void AppendU32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// One record's payload (the L bytes after L); nothing when an inner length runs past it.
std::optional<SiteProfile> ParseRecord(QByteArrayView payload) {
    SiteProfile site;
    qsizetype at = 0;
    for (const RecordField& field : kRecordFields) {
        if (payload.size() - at < 4) {
            return std::nullopt;
        }
        const quint32 value = ReadU32(payload, at);
        at += 4;
        if (field.kind == Field::Port) {
            site.port = static_cast<qint32>(value);
            continue;
        }
        if (value > static_cast<quint64>(payload.size() - at)) {
            return std::nullopt;
        }
        site.*field.text = SwapNibbles(payload.sliced(at, value));
        at += value;
    }
    return site;
}

} // namespace

QByteArray PackSevenBit(QByteArrayView text) {
    const auto at = [text](qsizetype i) -> unsigned { return i < text.size() ? uchar(text[i]) & 0x7f : 0; };
    QByteArray out;
    int bit = 0;
    for (qsizetype i = 0; i < text.size();) {
        out.append(static_cast<char>(((at(i) >> bit) | (at(i + 1) << (7 - bit))) & 0xff));
        if (bit == 6) {
            i += 2; // the next character went whole into this byte's top bits
            bit = 0;
        } else {
            ++i;
            ++bit;
        }
    }
    return out;
}

QByteArray UnpackSevenBit(QByteArrayView bytes) {
    QByteArray out;
    unsigned previous = 0;
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        const unsigned byte = uchar(bytes[k]);
        const int offset = static_cast<int>(k % 7);
        out.append(static_cast<char>(((byte << offset) | (previous >> (8 - offset))) & 0x7f));
        if (offset == 6) {
            out.append(static_cast<char>(byte >> 1));
        }
        previous = byte;
    }
    return out;
}

ParsedSiteFile ParseSiteFile(QByteArrayView bytes) {
    ParsedSiteFile parsed;
    if (bytes.isEmpty()) {
        return parsed;
    }
    if (bytes.size() < kSiteFileSignatureSize ||
        UnpackSevenBit(bytes.first(kSiteFileSignatureSize)) != kSiteFileSignatureText) {
        parsed.state = SiteFileState::WrongSignature;
        return parsed;
    }
    parsed.state = SiteFileState::Intact;
    qsizetype at = kSiteFileSignatureSize;
    while (at < bytes.size()) {
        const qsizetype left = bytes.size() - at - 4;
        if (left < 0 || parsed.sites.size() >= kMaxSites) {
            parsed.state = SiteFileState::Damaged;
            break;
        }
        const quint32 length = ReadU32(bytes, at);
        if (length < kSiteRecordMinLength || length > kSiteRecordMaxLength ||
            length > static_cast<quint64>(left)) {
            parsed.state = SiteFileState::Damaged;
            break;
        }
        std::optional<SiteProfile> site = ParseRecord(bytes.sliced(at + 4, length));
        if (!site) {
            parsed.state = SiteFileState::Damaged;
            break;
        }
        site->commandId = kFirstSiteCommandId + static_cast<int>(parsed.sites.size());
        parsed.sites.append(std::move(*site));
        at += 4 + qsizetype{length};
    }
    return parsed;
}

QByteArray SerializeSiteFile(const QList<SiteProfile>& sites) {
    QByteArray out = PackSevenBit(kSiteFileSignatureText);
    for (const SiteProfile& site : sites) {
        QByteArray payload;
        for (const RecordField& field : kRecordFields) {
            if (field.kind == Field::Port) {
                AppendU32(payload, static_cast<quint32>(site.port));
                continue;
            }
            const QByteArray& text = site.*field.text;
            AppendU32(payload, static_cast<quint32>(text.size()));
            payload.append(SwapNibbles(text));
        }
        payload.append(kFillerSize, '\0');
        AppendU32(out, static_cast<quint32>(payload.size()));
        out.append(payload);
    }
    return out;
}

} // namespace tessaly
