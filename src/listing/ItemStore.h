#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSharedData>
#include <QtGlobal>
#include <limits>
#include <utility>

namespace tessaly {

// What the items parsed together share, so that an item itself holds only numbers: the buffer their
// lines lie in (the listing, or a cache entry's text), and the date and time texts they show, each
// distinct text held once however many items show it. Items refer to both by 32-bit offsets; a
// listing too large for them is spread over several stores.
//
// A store is filled while its items are parsed and read only after that, so items on any thread
// may share it.
class ItemStore : public QSharedData {
public:
    // Offsets into a store are at most this.
    static constexpr qsizetype kMaxOffset = std::numeric_limits<quint32>::max();

    ItemStore() : texts_(1, '\0') {} // offset 0 holds the empty text

    // The items' line offsets count from start of bytes, which the store keeps alive.
    void SetLines(QByteArray bytes, qsizetype start) {
        bytes_ = std::move(bytes);
        lines_ = bytes_.constData() + start;
    }
    const char* lines() const { return lines_; }

    // Adds text (at most 255 bytes) and returns its offset for Text.
    quint32 AddText(QByteArrayView text) {
        Q_ASSERT(text.size() <= 255);
        const qsizetype at = texts_.size();
        texts_.append(char(text.size()));
        texts_.append(text);
        return quint32(at);
    }
    QByteArrayView Text(quint32 at) const {
        const char* held = texts_.constData() + at;
        return {held + 1, qsizetype(uchar(*held))};
    }
    // True when AddText may still be called for the texts of another item (two texts of at most
    // 16 bytes each).
    bool HasRoomForTexts() const { return texts_.size() <= kMaxOffset - 64; }
    // Hands back the room the texts grew into beyond what they fill.
    void SqueezeTexts() { texts_.squeeze(); }

private:
    QByteArray bytes_;
    const char* lines_ = nullptr;
    QByteArray texts_; // each text is a length byte followed by its bytes
};

} // namespace tessaly
