// Output folders made on the way to -o, and taken back after a failure: odd separators, and never a folder in use.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cli/fileio.h"

namespace {
bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tarn-folders-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }
    std::string root;
};
}  // namespace

TEST_F(Folders, MadeOnTheWayAndTakenBackUpToTheOutermostMade) {
    std::string top;
    ASSERT_TRUE(makeFolder(root + "/a//b/c/", top));
    EXPECT_EQ(top, root + "/a");
    EXPECT_TRUE(isFolder(root + "/a/b/c"));
    removeMadeFolders((root + "/a//b/c/").c_str(), top.c_str());
    EXPECT_FALSE(isFolder(root + "/a"));
    EXPECT_TRUE(isFolder(root));

    // A folder someone put something in meanwhile stops the removal there.
    ASSERT_TRUE(makeFolder(root + "/x/y/z", top));
    std::ofstream(root + "/x/theirs.txt") << "kept";
    removeMadeFolders((root + "/x/y/z").c_str(), top.c_str());
    EXPECT_FALSE(isFolder(root + "/x/y"));
    EXPECT_TRUE(isFolder(root + "/x"));
}

TEST_F(Folders, AFailureOnTheWayLeavesNothingMade) {
    std::string top;
    std::ofstream(root + "/afile") << "x";
    EXPECT_FALSE(makeFolder(root + "/afile/sub", top));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_FALSE(makeFolder(root + "/afile", top));
    EXPECT_EQ(errno, ENOTDIR);  // not "File exists", which reads as if the folder were there
    EXPECT_FALSE(makeFolder(root + "/new/" + std::string(300, 'n'), top));
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_TRUE(top.empty());
    EXPECT_FALSE(isFolder(root + "/new"));
}
