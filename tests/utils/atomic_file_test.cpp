#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/folder_entries.h"
#include "utils/atomic_file.h"

namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/atomic-file-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf " + path).c_str()); }
    std::string path;
};

// Runs in a child of the death test, in a mount namespace of its own where a small tmpfs with
// the given options stands for the installer's USB stick: a failed write must leave it empty.
// Exit status 0: refused, with a reason, and nothing left; it leaves by _Exit like the others.
[[noreturn]] void failingMedium(const char* options, std::size_t bytes)
{
    TempFolder mountPoint;
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", mountPoint.path.c_str(), "tmpfs", 0, options) != 0) {
        std::perror("mount");
        std::_Exit(3);
    }
    const auto failure = Utils::writeFileAtomically(mountPoint.path, "cameras.pdf", std::string(bytes, 'x'));
    const auto left = namesIn(mountPoint.path);
    for (const std::string& name : left)
        std::fprintf(stderr, "left behind: %s\n", name.c_str());
    umount(mountPoint.path.c_str());
    std::_Exit(!failure ? 1 : (failure->empty() || !left.empty()) ? 2 : 0);
}

}  // namespace

TEST(WriteFileAtomically, WritesTheWholeFileReadableByAllAndNothingElse)
{
    TempFolder folder;
    const std::string text = "Number,Model\r\n1,\"a, b\"\r\n" + std::string(300000, 'z');
    EXPECT_EQ(Utils::writeFileAtomically(folder.path, "cameras.csv", text), std::nullopt);
    EXPECT_EQ(namesIn(folder.path), std::vector<std::string>{"cameras.csv"});
    EXPECT_EQ(contentOf(folder.path + "/cameras.csv"), text);
    struct stat status {};
    ASSERT_EQ(stat((folder.path + "/cameras.csv").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);

    // Saved twice in the same minute: the second replaces the first whole.
    EXPECT_EQ(Utils::writeFileAtomically(folder.path, "cameras.csv", "second"), std::nullopt);
    EXPECT_EQ(contentOf(folder.path + "/cameras.csv"), "second");
    EXPECT_EQ(namesIn(folder.path).size(), 1u);
}

TEST(WriteFileAtomically, MissingFolderAsAfterTheStickWasPulledGivesAReason)
{
    const auto failure = Utils::writeFileAtomically("/tmp/no-such-stick-folder/x", "cameras.csv", "text");
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("No such file or directory"), std::string::npos) << *failure;
}

TEST(WriteFileAtomicallyDeathTest, ReadOnlyMediumRefusesAndKeepsNothing)
{
    EXPECT_EXIT(failingMedium("ro,size=1m", 100), testing::ExitedWithCode(0), "");
}

TEST(WriteFileAtomicallyDeathTest, FullMediumRefusesAndRemovesTheHalfWrittenFile)
{
    // 64 KiB of room for a megabyte: the write fails midway, after the temporary was made.
    EXPECT_EXIT(failingMedium("size=64k", 1 << 20), testing::ExitedWithCode(0), "");
}
