// Output folders made on the way to -o, and taken back after a failure: odd separators, and never a folder in use.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "os/files.h"
#include "temp_folder.h"

namespace {
bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class Folders : public TempFolderTest {};
}  // namespace

TEST_F(Folders, MadeOnTheWayAndTakenBackUpToTheOutermostMade) {
    std::string top;
    ASSERT_TRUE(osMakeFolders(folder + "/a//b/c/", top));
    EXPECT_EQ(top, folder + "/a");
    EXPECT_TRUE(isFolder(folder + "/a/b/c"));
    osRemoveMadeFolders((folder + "/a//b/c/").c_str(), top.c_str());
    EXPECT_FALSE(isFolder(folder + "/a"));
    EXPECT_TRUE(isFolder(folder));

    // A folder someone put something in meanwhile stops the removal there.
    ASSERT_TRUE(osMakeFolders(folder + "/x/y/z", top));
    std::ofstream(folder + "/x/theirs.txt") << "kept";
    osRemoveMadeFolders((folder + "/x/y/z").c_str(), top.c_str());
    EXPECT_FALSE(isFolder(folder + "/x/y"));
    EXPECT_TRUE(isFolder(folder + "/x"));
}

TEST_F(Folders, AFailureOnTheWayLeavesNothingMade) {
    std::string top;
    std::ofstream(folder + "/afile") << "x";
    EXPECT_FALSE(osMakeFolders(folder + "/afile/sub", top));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_FALSE(osMakeFolders(folder + "/afile", top));
    EXPECT_EQ(errno, ENOTDIR);  // not "File exists", which reads as if the folder were there
    EXPECT_FALSE(osMakeFolders(folder + "/new/" + std::string(300, 'n'), top));
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_TRUE(top.empty());
    EXPECT_FALSE(isFolder(folder + "/new"));
}
