#include "base/pathroots.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

TEST(PathRoots, ParentFolder) {
    const struct {
        const char* path;
        const char* expected;
        // clang-format off
    } cases[] = {
        {"/a/b/f", "/a/b"},     {"/a/b/", "/a"},   // trailing "/" taken off first
        {"/a//b", "/a"},        {"/f", "/"},       // directly below "/"
        {"/", ""},              {"name", ""},      // "/" itself, no separator
        {"E:\\dir\\f", "E:\\dir"}, {"E:\\f", "E:\\"}, {"E:\\", ""},  // the original platform's form
        {"/x\\y/f", "/x\\y"},   // a backslash in a path of this system is part of a name
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(ParentFolder(c.path), QString(c.expected)) << c.path;
}

TEST(PathRoots, PathRelationOnWholeComponents) {
    const struct {
        const char* a;
        const char* b;
        int expected;
        // clang-format off
    } cases[] = {
        {"/data/a", "/data/a", 0}, {"/Data/A/", "/data/a", 0}, {"/data/a/b", "/data/a", 1},
        {"/data/a", "/data/a/b", 2}, {"/data/ab", "/data/a", 3}, {"/data/a", "/data/ab", 3},
        {"/x", "/y", 3}, {"/x/y", "/", 1},
        {"/Ä/b", "/ä", 3},  // only A-Z are taken without regard to case
        {"E:\\Dir\\sub", "e:\\dir", 1}, {"E:\\dirx", "E:\\dir", 3}, {"E:\\dir", "E:\\", 1},
        {"E:\\dir", "/dir", 3},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(PathRelation(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.expected) << c.a << " " << c.b;
}

TEST(PathRoots, RootCandidatesAreTheDistinctTopFolders) {
    const struct {
        QStringList paths;
        QStringList roots;
        // clang-format off
    } cases[] = {
        {{"/c/A/B/f", "/c/A/f"}, {"/c/A"}},  // either order gives the one root
        {{"/c/A/f", "/c/A/B/f"}, {"/c/A"}},
        {{"/c/ab/f", "/c/a/f"}, {"/c/ab", "/c/a"}},  // /c/a is no root of /c/ab
        {{"/f", "/c/d/f", "name"}, {"/c/d"}},        // "/" and a bare name give no root
        {{"/c/a/b/f", "/x/f", "/c/a/c/f", "/c/a/f"}, {"/c/a", "/x"}},  // nested roots dropped
        {{"/C/a/f", "/c/A/g"}, {"/C/a"}},            // the first spelling is kept
        {{"/c/a/x", "/C/A/y", "/d/e"}, {"/c/a", "/d"}},
        {{"E:\\a\\b\\f", "e:\\A\\g", "E:\\f"}, {"e:\\A"}},  // a drive is no root either
    };
    // clang-format on
    for (const auto& c : cases) {
        QStringList roots;
        for (const QString& p : c.paths) AddRootCandidate(roots, p);
        EXPECT_EQ(roots, c.roots) << c.paths.join(' ').toStdString();
    }
}

}  // namespace
