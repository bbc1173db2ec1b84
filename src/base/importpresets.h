#pragma once
// The answers of the import dialogs that a session keeps for the next time (never written
// to the settings file): the walk depth and the two boxes of ADD REC TREE.

#include <QByteArray>

#include <functional>

namespace korvel {

struct ImportPresets {
    // Depth limit of the folder walks (ADD REC TREE and ADD NODE TREE); 1 at start.
    int depth = 1;
    bool createNodeTree = true;
    bool importLastDir = true;
    // Called with the full path (bytes) of every entry just before a walk looks at it
    // (stat, open); empty: none. The way to change the disk in the middle of a walk.
    std::function<void(const QByteArray& path)> entryHook;
};

}  // namespace korvel
