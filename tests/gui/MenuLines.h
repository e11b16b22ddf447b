#pragma once

#include <QStringList>

class QMenu;

namespace tessaly::test {

// The entries of a menu as "text" lines, "-" for separators, submenus indented; "(off)" marks a
// disabled entry and "[x]" a checked one.
QStringList MenuLines(const QMenu& menu);

} // namespace tessaly::test
