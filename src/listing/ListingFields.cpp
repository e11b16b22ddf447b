#include "listing/ListingFields.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessaly {

namespace {

constexpr qsizetype kBlock = 64;

// Bit i is set when byte i of the block is a blank.
quint64 BlankBits(const char* block) {
#if defined(__SSE2__)
    const __m128i blank = _mm_set1_epi8(' ');
    quint64 bits = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
        bits |= quint64(quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank)))) << (16 * part);
    }
    return bits;
#else
    quint64 bits = 0;
    for (int i = 0; i < kBlock; ++i) {
        bits |= quint64(block[i] == ' ') << i;
    }
    return bits;
#endif
}

int LowestBit(quint64 bits) {
    return __builtin_ctzll(bits);
}

} // namespace

LineFields FindFields(const char* line, qsizetype size, int wanted) {
    LineFields fields;
    wanted = std::clamp(wanted, 0, LineFields::kMaxFields);
    const int endsWanted = wanted - 1; // the last field asked for needs only its start
    int endCount = 0;
    bool previousBlank = true; // the line counts as preceded by a blank: its first byte starts a field
    bool previousNonBlank = false;
    for (qsizetype base = 0;
         base < size && (fields.count < wanted || endCount < std::min(fields.count, endsWanted));
         base += kBlock) {
        const qsizetype length = std::min(kBlock, size - base);
        quint64 blank = 0;
        if (length == kBlock) {
            blank = BlankBits(line + base);
        } else {
            char padded[kBlock];
            std::memset(padded, 'x', sizeof padded);
            std::memcpy(padded, line + base, std::size_t(length));
            blank = BlankBits(padded);
        }
        const quint64 inLine = length == kBlock ? ~quint64(0) : (quint64(1) << length) - 1;
        const quint64 nonBlank = ~blank & inLine;
        // A field starts at a non-blank after a blank, and ends at a blank after a non-blank. At the
        // very start of the line a blank also starts (and at once ends) the empty first field.
        quint64 startBits = nonBlank & ((blank << 1) | quint64(previousBlank));
        quint64 endBits = blank & ((nonBlank << 1) | quint64(previousNonBlank));
        if (base == 0) {
            startBits |= 1;
            endBits |= blank & 1;
        }
        while (startBits != 0 && fields.count < wanted) {
            fields.starts[fields.count++] = base + LowestBit(startBits);
            startBits &= startBits - 1;
        }
        while (endBits != 0 && endCount < endsWanted) {
            fields.ends[endCount++] = base + LowestBit(endBits);
            endBits &= endBits - 1;
        }
        previousBlank = (blank >> (length - 1)) & 1;
        previousNonBlank = !previousBlank;
    }
    for (int i = endCount; i < fields.count; ++i) {
        fields.ends[i] = size; // the last field runs to the end of the line
    }
    return fields;
}

quint64 ReadDecimal(QByteArrayView text) {
    constexpr quint64 kMax = std::numeric_limits<quint64>::max();
    const char* digits = text.data();
    const qsizetype size = text.size();
    quint64 value = 0;
    qsizetype i = 0;
    // Nineteen digits always fit in 64 bits; only longer numbers need the overflow check.
    for (const qsizetype safe = std::min<qsizetype>(size, 19); i < safe; ++i) {
        const unsigned digit = unsigned(digits[i]) - unsigned('0');
        if (digit > 9) {
            return value;
        }
        value = value * 10 + digit;
    }
    for (; i < size; ++i) {
        const unsigned digit = unsigned(digits[i]) - unsigned('0');
        if (digit > 9) {
            break;
        }
        if (value > (kMax - digit) / 10) {
            return kMax;
        }
        value = value * 10 + digit;
    }
    return value;
}

char* PutDecimal(char* out, quint64 value, int width, char pad) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = count; i < width; ++i) {
        *out++ = pad;
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

} // namespace tessaly
