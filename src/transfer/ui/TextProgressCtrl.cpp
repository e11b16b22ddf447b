#include "transfer/ui/TextProgressCtrl.h"

#include <QFont>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <algorithm>
#include <limits>

namespace tessaly {

qint64 ScaleProgress(qint64 part, qint64 whole, qint64 scale) {
    if (whole <= 0 || scale <= 0) {
        return 0;
    }
    part = std::clamp<qint64>(part, 0, whole);
    if (part <= std::numeric_limits<qint64>::max() / scale) {
        return part * scale / whole;
    }
#ifdef __SIZEOF_INT128__
    __extension__ using Wide = __int128;
    return qint64(Wide(part) * scale / whole);
#else
    // part × scale does not fit: whole is large, so part ÷ whole is carried in two pieces.
    const qint64 wholePart = part / whole * scale; // 0 unless part == whole
    const qint64 rest = part % whole;
    return wholePart + qint64(static_cast<long double>(rest) * scale / whole);
#endif
}

int CTextProgressCtrl::Percent() const {
    if (lower >= upper) {
        return 0;
    }
    // The width of the range fits in 64 bits for every bound the task list uses (0 to a size).
    return int(ScaleProgress(position - lower, upper - lower, 100));
}

QString CTextProgressCtrl::Text() const {
    if (!customText.isEmpty()) {
        return customText;
    }
    return QString::number(Percent()) + u'%';
}

void CTextProgressCtrl::Draw(QPainter& painter, const QRect& rect, bool selected, const QPalette& palette,
                             const QFont& font) const {
    if (lower >= upper) {
        return;
    }
    const auto pick = [selected](const std::optional<QColor>& normal, const std::optional<QColor>& chosen,
                                 const QColor& fallback) {
        if (selected && chosen) {
            return *chosen;
        }
        return normal.value_or(fallback);
    };
    const QColor bar = pick(barColour, selectedBarColour, QColor(0x0A, 0x14, 0xC8));
    const QColor text = pick(textColour, selectedTextColour, palette.color(QPalette::ButtonText));
    const QColor background =
        pick(backgroundColour, selectedBackgroundColour, palette.color(QPalette::Window));

    const QRect frame = rect.adjusted(1, 1, -1, -1);
    if (frame.width() < 3 || frame.height() < 3) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(palette.color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));

    const QRect inside = frame.adjusted(1, 1, -1, -1);
    const int filledWidth = int(ScaleProgress(position - lower, upper - lower, inside.width()));
    const QRect filled(inside.left(), inside.top(), filledWidth, inside.height());
    const QRect rest(inside.left() + filledWidth, inside.top(), inside.width() - filledWidth,
                     inside.height());
    painter.fillRect(filled, bar);
    painter.fillRect(rest, background);

    if (showText) {
        painter.setFont(font);
        const QString label = Text();
        const int flags = Qt::AlignCenter | Qt::TextSingleLine;
        if (selected) {
            painter.setPen(text);
            painter.drawText(inside, flags, label);
        } else {
            // White over the filled part, the text colour over the rest. Under the white a shadow a
            // shade of the bar keeps it legible on a light bar such as the task list's green.
            painter.setClipRect(filled);
            painter.setPen(bar.darker(170));
            painter.drawText(inside.translated(1, 1), flags, label);
            painter.setPen(Qt::white);
            painter.drawText(inside, flags, label);
            painter.setClipRect(rest);
            painter.setPen(text);
            painter.drawText(inside, flags, label);
            painter.setClipping(false);
        }
    }

    const bool anySelectedColour = selectedBarColour || selectedTextColour || selectedBackgroundColour;
    if (selected && !anySelectedColour && painter.paintEngine() != nullptr &&
        painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(frame, Qt::white);
    }
    painter.restore();
}

} // namespace tessaly
