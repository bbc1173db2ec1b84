#pragma once
// Size, position and splitter position of the main window, kept in section "window" of
// config.cnf and restored at the next start. A saved place that no screen can show any
// more (a monitor unplugged, a smaller resolution) is ignored.

#include <QList>
#include <QRect>

#include <optional>

namespace korvel {

struct WindowLayout {
    QRect geometry;  // the window's normal (not maximized) geometry, frame excluded
    bool maximized = false;
    int treeWidth = -1;  // width of the tree pane; -1 when not saved
};

// The layout of section "window"; nullopt when the section is missing or incomplete
// (a geometry needs all of x, y, width and height, width and height above 0).
std::optional<WindowLayout> ReadWindowLayout();
// Writes every key of section "window". False when the file could not be written.
bool WriteWindowLayout(const WindowLayout& layout);

// True when one of the screens (their available areas) can show the window: the window
// is not larger than that screen and its top edge (the title bar) lies on it with at
// least minVisible pixels of its width.
bool GeometryFitsScreens(const QRect& geometry, const QList<QRect>& screens, int minVisible = 100);

}  // namespace korvel
