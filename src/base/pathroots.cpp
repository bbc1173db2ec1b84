#include "base/pathroots.h"

namespace korvel {

namespace {

QString WithoutTrailingSlashes(QString p) {
    while (p.size() > 1 && p.endsWith(u'/')) p.chop(1);
    return p;
}

// True when inner lies strictly inside outer, by whole components.
bool Inside(const QString& inner, const QString& outer) {
    if (inner.size() <= outer.size()) return false;
    if (!inner.startsWith(outer, Qt::CaseInsensitive)) return false;
    return outer.endsWith(u'/') || inner.at(outer.size()) == u'/';
}

}  // namespace

QString ParentFolder(const QString& path) {
    const int slash = path.lastIndexOf(u'/');
    if (slash < 0) return QString();
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

int PathRelation(const QString& a, const QString& b) {
    const QString x = WithoutTrailingSlashes(a), y = WithoutTrailingSlashes(b);
    if (x.compare(y, Qt::CaseInsensitive) == 0) return 0;
    if (Inside(x, y)) return 1;
    if (Inside(y, x)) return 2;
    return 3;
}

void AddRootCandidate(QStringList& roots, const QString& path) {
    const QString folder = ParentFolder(path);
    if (folder.size() <= 1) return;
    for (QString& root : roots) {
        switch (PathRelation(root, folder)) {
        case 0: return;
        case 1: root = folder; return;
        case 2: return;
        default: break;
        }
    }
    roots << folder;
}

}  // namespace korvel
