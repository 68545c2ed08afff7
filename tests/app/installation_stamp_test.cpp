// The record of the completed installation: its text, and its writing into a folder that may
// not exist yet, in a folder of the test's own.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/installation_stamp.h"
#include "support/stdout_capture.h"

namespace {

constexpr std::time_t kWinterNoon = 1796900000;  // 2026-12-10 10:53:20 UTC
constexpr std::time_t kSummerMorning = 1781000000;  // 2026-06-09 10:13:20 UTC

// Sets the time zone for one test and puts the old one back.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old, hadOld_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard()
    {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

struct StampTextCase {
    const char* zone;
    std::time_t when;
    const char* text;
};

TEST(InstallationStampText, LocalDateAndTimeWithTheirOffset)
{
    const StampTextCase cases[] = {
        {"UTC0", 0, "1970-01-01T00:00:00+00:00\n"},
        {"UTC0", kWinterNoon, "2026-12-10T10:53:20+00:00\n"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", kWinterNoon, "2026-12-10T11:53:20+01:00\n"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", kSummerMorning, "2026-06-09T12:13:20+02:00\n"},
        // West of Greenwich by a half hour: the sign and the minutes of the offset.
        {"NST3:30", kWinterNoon, "2026-12-10T07:23:20-03:30\n"},
    };
    for (const auto& c : cases) {
        ZoneGuard zone(c.zone);
        EXPECT_EQ(installationStampText(c.when), c.text) << c.zone << " " << c.when;
    }
}

// A folder of the test's own under /tmp, removed with everything in it.
class InstallationStampTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/installation-stamp-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        root = path;
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }

    static std::vector<std::string> entries(const std::string& folder)
    {
        std::vector<std::string> names;
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* entry = readdir(dir))
                if (entry->d_name[0] != '.')
                    names.push_back(entry->d_name);
            closedir(dir);
        }
        return names;
    }

    static std::string read(const std::string& file)
    {
        std::ifstream in(file);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static mode_t mode(const std::string& path)
    {
        struct stat st {};
        stat(path.c_str(), &st);
        return st.st_mode & 07777;
    }

    std::string root;
};

TEST_F(InstallationStampTest, MissingFoldersMadeReadableForAllAndTheStampReplacedWhole)
{
    const std::string folder = root + "/var-lib/velnor-config-tool";
    const std::string stamp = folder + "/completed";
    ZoneGuard zone("UTC0");
    // A root with a tight umask must still leave a stamp the session's user can see.
    const mode_t oldMask = umask(077);
    const bool written = writeInstallationStamp(stamp, kWinterNoon);
    umask(oldMask);
    ASSERT_TRUE(written);
    EXPECT_EQ(read(stamp), "2026-12-10T10:53:20+00:00\n");
    EXPECT_EQ(mode(root + "/var-lib"), 0755u);
    EXPECT_EQ(mode(folder), 0755u);
    EXPECT_EQ(mode(stamp), 0644u);

    // A second installation run replaces it, leaving no temporary file behind.
    ASSERT_TRUE(writeInstallationStamp(stamp, kSummerMorning));
    EXPECT_EQ(read(stamp), "2026-06-09T10:13:20+00:00\n");
    EXPECT_EQ(entries(folder), std::vector<std::string>{"completed"});
}

TEST_F(InstallationStampTest, FolderThatCannotBeMadeIsTracedAndNothingWritten)
{
    // Where the folder should be there is a file: neither root nor a full disk is needed.
    std::ofstream(root + "/velnor-config-tool") << "not a folder\n";
    const std::string stamp = root + "/velnor-config-tool/completed";
    StdoutCapture out;
    EXPECT_FALSE(writeInstallationStamp(stamp, kWinterNoon));
    EXPECT_TRUE(out.contains("Failed to write " + stamp + ": cannot create: Not a directory")) << out.text();
    EXPECT_EQ(entries(root), std::vector<std::string>{"velnor-config-tool"});
    EXPECT_EQ(read(root + "/velnor-config-tool"), "not a folder\n");
}

}  // namespace
