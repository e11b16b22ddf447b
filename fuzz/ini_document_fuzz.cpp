// Parses arbitrary bytes as a settings file, looks up and writes a few values, serialises, and checks
// that a written value reads back from the serialised bytes and that unrelated values are unchanged.
#include "settings/IniDocument.h"

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

QString OneLine(QString text) {
    text.replace(u"\r\n"_s, u" "_s);
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    tessaly::IniDocument document = tessaly::IniDocument::parse(bytes);

    // Section, key and value taken from the input itself, so that lookups hit what it holds; each is
    // decoded on its own, so none holds half of a surrogate pair.
    const auto piece = [bytes](qsizetype from, qsizetype length) {
        from = std::min(from, bytes.size());
        return QString::fromUtf8(bytes.sliced(from, std::min(length, bytes.size() - from)));
    };
    const QString section = piece(0, 8);
    const QString key = piece(8, 8);
    const QString value = piece(16, 80);
    const QString text = piece(0, 96);

    for (const QString& name : {section, key, u"General"_s}) {
        if (const std::optional<QString> found = document.value(name, key)) {
            (void)tessaly::ParseLeadingInt(*found);
        }
    }
    (void)tessaly::ParseLeadingInt(text);

    const std::optional<QString> untouched = document.value(u"Advance"_s, u"PasvMode"_s);
    const bool written = document.setValue(section, key, value);
    const QByteArray serialized = document.serialize();
    const tessaly::IniDocument reread = tessaly::IniDocument::parse(serialized);
    if (written) {
        Check(reread.value(section, key) == OneLine(value).trimmed());
    }
    if (!(QStringView(section).trimmed().compare(u"Advance", Qt::CaseInsensitive) == 0 &&
          QStringView(key).trimmed().compare(u"PasvMode", Qt::CaseInsensitive) == 0)) {
        Check(reread.value(u"Advance"_s, u"PasvMode"_s) == untouched);
    }
    // Serialising what was parsed from serialised bytes gives the same bytes.
    Check(reread.serialize() == serialized);
    return 0;
}
