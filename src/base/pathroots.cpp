#include "base/pathroots.h"

#include <algorithm>

namespace korvel {

namespace {

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool EqualAt(QStringView hay, qsizetype at, QStringView needle) {
    if (at < 0 || at + needle.size() > hay.size()) return false;
    for (qsizetype i = 0; i < needle.size(); ++i)
        if (AsciiLower(hay[at + i].unicode()) != AsciiLower(needle[i].unicode())) return false;
    return true;
}

char16_t Separator(const QString& path) { return IsDriveFormPath(path) ? u'\\' : u'/'; }

// The length of the part of path that names its top folder: 3 for "E:\", 1 for "/", 0
// for a relative text.
qsizetype TopLength(const QString& path) {
    if (IsDriveFormPath(path)) return 3;
    return path.startsWith(u'/') ? 1 : 0;
}

// inner lies inside outer (or is outer), as whole components.
bool Within(const QString& inner, const QString& outer) {
    if (!EqualAt(inner, 0, outer)) return false;
    return inner.size() == outer.size() || outer.endsWith(Separator(outer)) || inner[outer.size()] == Separator(outer);
}

}  // namespace

bool IsDriveFormPath(const QString& path) {
    return path.size() >= 3 && path[0].isLetter() && path[0].unicode() < 128 && path[1] == u':' && path[2] == u'\\';
}

bool SamePathText(QStringView a, QStringView b) { return a.size() == b.size() && EqualAt(a, 0, b); }

qsizetype IndexOfPathText(const QString& hay, const QString& needle, qsizetype from) {
    for (qsizetype i = from; i + needle.size() <= hay.size(); ++i)
        if (EqualAt(hay, i, needle)) return i;
    return -1;
}

QString WithoutTrailingSeparators(QString folder) {
    const char16_t sep = Separator(folder);
    const qsizetype keep = std::max<qsizetype>(1, TopLength(folder));
    while (folder.size() > keep && folder.endsWith(sep)) folder.chop(1);
    return folder;
}

bool IsTopOrEmptyFolder(const QString& folder) {
    const QString f = WithoutTrailingSeparators(folder);
    return f.isEmpty() || f.size() == TopLength(f);
}

QString ParentFolder(const QString& path) {
    const QString p = WithoutTrailingSeparators(path);
    const qsizetype top = TopLength(p);
    if (p.size() <= top) return QString();  // "/" or "E:\" itself
    const qsizetype slash = p.lastIndexOf(Separator(p));
    if (slash < 0) return QString();
    if (slash < top) return p.left(top);
    return WithoutTrailingSeparators(p.left(slash));
}

int PathRelation(const QString& a, const QString& b) {
    const QString x = WithoutTrailingSeparators(a), y = WithoutTrailingSeparators(b);
    if (SamePathText(x, y)) return 0;
    if (Within(x, y)) return 1;
    if (Within(y, x)) return 2;
    return 3;
}

void AddRootCandidate(QStringList& roots, const QString& path) {
    const QString folder = ParentFolder(path);
    if (IsTopOrEmptyFolder(folder)) return;
    for (qsizetype i = 0; i < roots.size(); ++i) {
        switch (PathRelation(roots[i], folder)) {
            case 0:
            case 2: return;
            case 1: {
                roots[i] = folder;
                // Further roots inside the new one would only repeat it.
                for (qsizetype j = roots.size() - 1; j > i; --j)
                    if (PathRelation(roots[j], folder) <= 1) roots.removeAt(j);
                return;
            }
            default: break;
        }
    }
    roots << folder;
}

}  // namespace korvel
