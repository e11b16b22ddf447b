#pragma once

#include <QIcon>
#include <QStyle>
#include <string_view>

namespace tessaly {

// An icon of the desktop's icon theme by its freedesktop name (the Adwaita theme's pictures, full
// colour or symbolic), or the style's own picture when the theme has none of that name.
QIcon ThemeIcon(std::string_view name, QStyle::StandardPixmap fallback);

// The program's own icon.
QIcon ProgramIcon();

} // namespace tessaly
