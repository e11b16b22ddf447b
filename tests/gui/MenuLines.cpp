#include "MenuLines.h"

#include <QMenu>

namespace tessaly::test {

namespace {

using namespace Qt::StringLiterals;

void ListMenu(const QMenu& menu, const QString& indent, QStringList& lines) {
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            lines.append(indent + u'-');
            continue;
        }
        lines.append(indent + action->text() + (action->isEnabled() ? u""_s : u" (off)"_s) +
                     (action->isChecked() ? u" [x]"_s : u""_s));
        if (action->menu() != nullptr) {
            ListMenu(*action->menu(), indent + u"  "_s, lines);
        }
    }
}

} // namespace

QStringList MenuLines(const QMenu& menu) {
    QStringList lines;
    ListMenu(menu, {}, lines);
    return lines;
}

} // namespace tessaly::test
