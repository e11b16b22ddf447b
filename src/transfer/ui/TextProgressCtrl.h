#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QFont;
class QPainter;
class QPalette;
class QRect;

namespace tessaly {

// A progress bar with its percentage, drawn into a cell of the task list (not a window of its own).
// Bounds and position are 64-bit: a bar over a file of many gigabytes draws like any other.
//
// A colour that is not set takes its default: the bar 0xC8140A as a colour value (red 0x0A, green
// 0x14, blue 0xC8), the text the palette's button text, the background the palette's window
// colour. The selected variants, when set, replace the normal ones
// while the row is selected; when none is set a selected cell is drawn inverted.
struct CTextProgressCtrl {
    qint64 lower = 0;
    qint64 upper = 100;
    qint64 position = 0;
    bool showText = true;
    QString customText; // shown instead of the percentage when not empty

    std::optional<QColor> barColour;
    std::optional<QColor> selectedBarColour;
    std::optional<QColor> textColour;
    std::optional<QColor> selectedTextColour;
    std::optional<QColor> backgroundColour;
    std::optional<QColor> selectedBackgroundColour;

    // The truncated percentage of the way from lower to upper (the position held within them);
    // 0 when the bounds leave no way.
    int Percent() const;
    // What the bar says: the custom text, or "%d%%" of Percent().
    QString Text() const;

    // Draws the bar in rect: nothing when lower is not below upper; otherwise a one-pixel border one
    // pixel inside rect, the part from the left up to the position in the bar colour and the rest in
    // the background colour, and the text centred on one line. The text is white where it lies over
    // the filled part and in the text colour elsewhere; on a selected row it is in the text colour
    // throughout.
    void Draw(QPainter& painter, const QRect& rect, bool selected, const QPalette& palette,
              const QFont& font) const;
};

// part × scale ÷ whole, truncated, with part held within 0..whole; exact for any 64-bit values that
// fit in the result. 0 when whole is not positive.
qint64 ScaleProgress(qint64 part, qint64 whole, qint64 scale);

} // namespace tessaly
