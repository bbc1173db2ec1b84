#include "base/windowlayout.h"

#include "base/settings.h"

#include <algorithm>

namespace korvel {

namespace {

const QString kWindowSection = QStringLiteral("window");

std::optional<int> NumberOf(const QString& key) {
    const QString text = ReadSetting(kWindowSection, key, QString()).trimmed();
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok) return std::nullopt;
    return n;
}

}  // namespace

std::optional<WindowLayout> ReadWindowLayout() {
    const auto x = NumberOf(QStringLiteral("x"));
    const auto y = NumberOf(QStringLiteral("y"));
    const auto w = NumberOf(QStringLiteral("width"));
    const auto h = NumberOf(QStringLiteral("height"));
    if (!x || !y || !w || !h || *w <= 0 || *h <= 0) return std::nullopt;
    WindowLayout layout;
    layout.geometry = QRect(*x, *y, *w, *h);
    layout.maximized = NumberOf(QStringLiteral("maximized")).value_or(0) != 0;
    const auto tree = NumberOf(QStringLiteral("splitter"));
    layout.treeWidth = tree && *tree > 0 ? *tree : -1;
    return layout;
}

bool WriteWindowLayout(const WindowLayout& layout) {
    const QRect& g = layout.geometry;
    const std::pair<const char*, int> values[] = {{"x", g.x()},
                                                  {"y", g.y()},
                                                  {"width", g.width()},
                                                  {"height", g.height()},
                                                  {"maximized", layout.maximized ? 1 : 0},
                                                  {"splitter", layout.treeWidth}};
    bool ok = true;
    for (const auto& [key, value] : values)
        ok = WriteSetting(kWindowSection, QString::fromLatin1(key), QString::number(value)) && ok;
    return ok;
}

bool GeometryFitsScreens(const QRect& geometry, const QList<QRect>& screens, int minVisible) {
    if (!geometry.isValid()) return false;
    for (const QRect& screen : screens) {
        if (geometry.width() > screen.width() || geometry.height() > screen.height()) continue;
        if (geometry.top() < screen.top() || geometry.top() > screen.bottom()) continue;
        const int left = std::max(geometry.left(), screen.left());
        const int right = std::min(geometry.right(), screen.right());
        if (right - left + 1 >= std::min(minVisible, geometry.width())) return true;
    }
    return false;
}

}  // namespace korvel
