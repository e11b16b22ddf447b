#include "ui/Icons.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <array>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

constexpr std::array kThemeRoots = {u"/usr/share/icons/Adwaita", u"/usr/local/share/icons/Adwaita"};
constexpr std::array kSizes = {u"16x16", u"24x24", u"32x32", u"48x48"};
constexpr std::array kContexts = {u"actions", u"places", u"devices",  u"status",
                                  u"apps",    u"legacy", u"mimetypes"};

// Adds every size the theme has of name (full colour first, then the symbolic picture).
bool AddThemeFiles(QIcon& icon, const QString& name) {
    bool found = false;
    for (const char16_t* root : kThemeRoots) {
        for (const char16_t* size : kSizes) {
            for (const char16_t* context : kContexts) {
                const QString base = QString::fromUtf16(root) + u'/' + QString::fromUtf16(size) + u'/' +
                                     QString::fromUtf16(context) + u'/';
                for (const QString& file :
                     {base + name + u".png"_s, base + name + u"-symbolic.symbolic.png"_s}) {
                    if (QFileInfo::exists(file)) {
                        icon.addFile(file);
                        found = true;
                        break;
                    }
                }
            }
        }
        if (found) {
            return true;
        }
    }
    return false;
}

} // namespace

QIcon ThemeIcon(std::string_view name, QStyle::StandardPixmap fallback) {
    static QHash<QString, QIcon> cache;
    const QString key = QString::fromLatin1(name.data(), qsizetype(name.size()));
    if (const auto found = cache.constFind(key); found != cache.constEnd()) {
        return *found;
    }
    QIcon icon;
    if (!AddThemeFiles(icon, key)) {
        icon = QApplication::style()->standardIcon(fallback);
    }
    cache.insert(key, icon);
    return icon;
}

QIcon ProgramIcon() {
    return ThemeIcon("network-server", QStyle::SP_DriveNetIcon);
}

} // namespace tessaly
