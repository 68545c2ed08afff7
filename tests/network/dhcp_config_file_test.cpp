// The configuration file's text, the reader's rules for one line, and replacing the file.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "support/stdout_capture.h"
#include "dhcp_file_text.h"
#include "dhcpd_check.h"
#include "file_owner.h"
#include "network/dhcp_config_file.h"

namespace {

// Camera interface 192.168.1.1/24, 16 clients, 48 hours, pool .100 to .200, two DNS servers.
DhcpSettings workedExample()
{
    DhcpSettings settings;
    settings.users = 16;
    settings.leaseHours = 48;
    settings.startIp = "192.168.1.100";
    settings.endIp = "192.168.1.200";
    settings.primaryDns = "8.8.8.8";
    settings.secondaryDns = "8.8.4.4";
    settings.cameraAddress = "192.168.1.1";
    settings.cameraNetmask = "255.255.255.0";
    settings.shownCameraAddress = "192.168.1.1";
    return settings;
}

TEST(DhcpConfigText, WorkedExampleByteForByteAndAcceptedByDhcpd)
{
    const std::string text = formatDhcpConfig(workedExample());
    EXPECT_EQ(text, kWorkedExampleText);
    const DhcpdVerdict verdict = dhcpdCheckText(text);
    EXPECT_EQ(verdict.status, 0) << verdict.output;
}

struct TextCase {
    const char* name;
    void (*change)(DhcpSettings&);
    std::map<int, std::string> lines;  // line number (from 1) and its expected text
    bool dhcpdAccepts;
};

const TextCase kTextCases[] = {
    {"SpinValuesTruncatedNotRounded",
     [](DhcpSettings& s) { s.users = 16.9; s.leaseHours = 48.9; },
     {{2, "  lease limit 16;"}, {6, "default-lease-time 172800;"}, {7, "max-lease-time 172800;"}},
     true},
    {"InvalidDnsServersCountAsNone",
     [](DhcpSettings& s) { s.primaryDns = "8.8.8"; s.secondaryDns = " "; },
     {{11, "  option domain-name-servers 0.0.0.0;"}}, true},
    {"OnlySecondaryDnsServer", [](DhcpSettings& s) { s.primaryDns = ""; },
     {{11, "  option domain-name-servers 0.0.0.0, 8.8.4.4;"}}, true},
    {"ClassBNetwork",
     [](DhcpSettings& s) {
         s.cameraAddress = s.shownCameraAddress = "172.16.5.1";
         s.startIp = "172.16.5.100";
         s.endIp = "172.16.5.200";
     },
     {{8, "subnet 172.16.0.0 netmask 255.255.0.0 {"}, {9, "  range 172.16.5.100 172.16.5.200;"}},
     true},
    {"ShownAddressNotAnAddressLeavesTheSubnetOut",
     [](DhcpSettings& s) { s.shownCameraAddress = "none"; },
     {{8, "subnet  netmask 255.255.255.0 {"}}, false},
    {"ZeroClientsAndZeroHours", [](DhcpSettings& s) { s.users = 0; s.leaseHours = 0; },
     {{2, "  lease limit 0;"}, {6, "default-lease-time 0;"}, {7, "max-lease-time 0;"}}, true},
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class DhcpConfigTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DhcpConfigTextTest, LinesDifferFromTheWorkedExampleOnlyAsExpected)
{
    DhcpSettings settings = workedExample();
    GetParam().change(settings);
    const std::string text = formatDhcpConfig(settings);

    const std::vector<std::string> expected = linesOf(kWorkedExampleText);
    const std::vector<std::string> actual = linesOf(text);
    ASSERT_EQ(actual.size(), 12u);
    for (int number = 1; number <= 12; ++number) {
        const auto changed = GetParam().lines.find(number);
        EXPECT_EQ(actual[number - 1],
                  changed != GetParam().lines.end() ? changed->second : expected[number - 1])
            << "line " << number;
    }
    if (GetParam().dhcpdAccepts) {
        const DhcpdVerdict verdict = dhcpdCheckText(text);
        EXPECT_EQ(verdict.status, 0) << verdict.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, DhcpConfigTextTest, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DhcpConfigText, CameraInterfaceWithoutAddressThrowsBeforeAnythingIsWritten)
{
    DhcpSettings settings = workedExample();
    settings.cameraAddress = "";
    settings.shownCameraAddress = "0.0.0.0";
    EXPECT_THROW(formatDhcpConfig(settings), std::invalid_argument);
}

struct LineCase {
    const char* name;
    const char* line;
    DhcpLineValues expected;
    const char* trace;  // a line the reader must trace, or nullptr
};

DhcpLineValues lease(double hours) { DhcpLineValues v; v.leaseHours = hours; return v; }
DhcpLineValues users(double count) { DhcpLineValues v; v.users = count; return v; }
DhcpLineValues dns(std::optional<std::string> primary, std::optional<std::string> secondary)
{
    DhcpLineValues v;
    v.primaryDns = std::move(primary);
    v.secondaryDns = std::move(secondary);
    return v;
}

const LineCase kLineCases[] = {
    {"LeaseBelowTheFloor", "default-lease-time 600;", lease(120), "DEFAULT LEASE TIME: 600"},
    {"LeaseWrittenByTheWizard", "default-lease-time 172800;", lease(120), nullptr},
    {"LeaseAboveTheFloor", "default-lease-time 864000;", lease(240), nullptr},
    {"LeaseNotANumber", "default-lease-time abc;", {}, "Could not convert DHCP string to double"},
    {"LeaseTooLargeForADouble", "default-lease-time 1e999;", {},
     "Could not convert DHCP string to double"},
    {"MaxLeaseNotRead", "max-lease-time 7200;", {}, nullptr},
    {"UsersAboveTheFloor", "  lease limit 80;", users(80), "DEFAULT USER COUNT 80"},
    {"UsersBelowTheFloor", "  lease limit 16;", users(50), nullptr},
    {"UsersFloorIsNoCeiling", "  lease limit 500;", users(500), nullptr},
    {"LimitAsSecondWordNotRead", "limit 80;", {}, nullptr},
    {"UsersNotANumber", "  lease limit many;", {}, "Could not convert DHCP string to double"},
    {"IndentedCommentIsRead", "  # default-lease-time 7200;", lease(120), nullptr},
    {"CommentSkipped", "# default-lease-time 7200;", {}, nullptr},
    {"EmptyLineSkipped", "", {}, nullptr},
    {"PoolRecognisedNotShown", "  range 192.168.1.100 192.168.1.200;", {}, "end: 192.168.1.200;"},
    {"TwoDnsServers", "  option domain-name-servers 8.8.8.8, 8.8.4.4;", dns("8.8.8.8", "8.8.4.4"),
     "dns: 8.8.8.8"},
    {"OneDnsServer", "  option domain-name-servers 8.8.8.8;", dns("8.8.8.8", std::nullopt),
     "dns: 8.8.8.8"},
    {"NoDnsServerWritten", "  option domain-name-servers 0.0.0.0;", dns("0.0.0.0", std::nullopt),
     nullptr},
    {"OnlySecondaryWritten", "  option domain-name-servers 0.0.0.0, 8.8.4.4;",
     dns("0.0.0.0", "8.8.4.4"), nullptr},
    {"ThreeDnsServersMiddleKeepsItsComma",
     "  option domain-name-servers 1.1.1.1, 2.2.2.2, 3.3.3.3;", dns("1.1.1.1", "3.3.3.3"), nullptr},
    {"InvalidDnsServer", "  option domain-name-servers 8.8.8;", {}, nullptr},
    {"ClassMembershipSetsNothing", "  match if exists dhcp-message-type;", {}, nullptr},
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class DhcpLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(DhcpLineTest, SetsWhatTheRulesSay)
{
    StdoutCapture out;
    const DhcpLineValues values = readDhcpLine(GetParam().line);
    const DhcpLineValues& expected = GetParam().expected;
    EXPECT_EQ(values.leaseHours, expected.leaseHours);
    EXPECT_EQ(values.users, expected.users);
    EXPECT_EQ(values.primaryDns, expected.primaryDns);
    EXPECT_EQ(values.secondaryDns, expected.secondaryDns);
    if (GetParam().trace) {
        EXPECT_TRUE(out.contains(GetParam().trace)) << out.text();
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, DhcpLineTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The installer's servers survive a start-up read followed by the next write.
TEST(DhcpLineRoundTrip, RewritingWhatWasReadKeepsTheDnsServers)
{
    for (const auto& [primary, secondary] : std::vector<std::pair<std::string, std::string>>{
             {"8.8.8.8", "8.8.4.4"}, {"8.8.8.8", ""}, {"", "8.8.4.4"}, {"", ""}}) {
        DhcpSettings written = workedExample();
        written.primaryDns = primary;
        written.secondaryDns = secondary;
        const std::string text = formatDhcpConfig(written);

        DhcpSettings reread = workedExample();
        reread.primaryDns = reread.secondaryDns = "";
        for (const std::string& line : linesOf(text)) {
            const DhcpLineValues values = readDhcpLine(line);
            reread.primaryDns = values.primaryDns.value_or(reread.primaryDns);
            reread.secondaryDns = values.secondaryDns.value_or(reread.secondaryDns);
        }
        EXPECT_EQ(formatDhcpConfig(reread), text) << primary << " / " << secondary;
    }
}

// A folder of the test's own under /tmp, removed with everything in it.
class ReplaceFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/replace-file-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        folder = path;
        file = folder + "/dhcpd.conf";
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        DIR* dir = opendir(folder.c_str());
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(dir);
        return names;
    }

    std::string read() const
    {
        std::ifstream in(file);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    mode_t mode() const { return mode(file); }

    static std::string read(const std::string& path)
    {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static mode_t mode(const std::string& path)
    {
        struct stat st {};
        stat(path.c_str(), &st);
        return st.st_mode & 07777;
    }

    std::string previous() const { return file + ".previous"; }

    std::string folder, file;
};

// Not the test's own user and group: a replacement must not hand the file to root.
constexpr uid_t kOtherUser = 1234;
constexpr gid_t kOtherGroup = 5678;

TEST_F(ReplaceFileTest, NewFileGetsTheUsualMode)
{
    ASSERT_TRUE(replaceFile(file, "new\n"));
    EXPECT_EQ(read(), "new\n");
    EXPECT_EQ(mode(), 0644u);
    EXPECT_EQ(entries(), std::vector<std::string>{"dhcpd.conf"});
}

TEST_F(ReplaceFileTest, OldOwnerGroupAndModeKeptAndThePreviousTextKeptBeside)
{
    const std::string old(4096, 'x');
    std::ofstream(file) << old;
    ASSERT_EQ(chown(file.c_str(), kOtherUser, kOtherGroup), 0) << "needs root";
    chmod(file.c_str(), 0640);

    StdoutCapture out;
    ASSERT_TRUE(replaceFile(file, "short\n"));
    EXPECT_EQ(read(), "short\n");
    EXPECT_EQ(ownerOf(file), "1234:5678 640");
    EXPECT_EQ(read(previous()), old);
    EXPECT_EQ(ownerOf(previous()), "1234:5678 640");
    EXPECT_TRUE(out.contains("Kept the previous " + file + " as " + previous())) << out.text();
    std::vector<std::string> left = entries();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"dhcpd.conf", "dhcpd.conf.previous"}));
}

// One copy only: it holds the text the last change replaced, and an unchanged text keeps it.
TEST_F(ReplaceFileTest, PreviousCopyFollowsChangesOnly)
{
    std::ofstream(file) << "first\n";
    ASSERT_TRUE(replaceFile(file, "second\n"));
    ASSERT_TRUE(replaceFile(file, "third\n"));
    EXPECT_EQ(read(previous()), "second\n");

    StdoutCapture out;
    ASSERT_TRUE(replaceFile(file, "third\n"));
    EXPECT_EQ(read(), "third\n");
    EXPECT_EQ(read(previous()), "second\n");
    EXPECT_FALSE(out.contains("Kept the previous")) << out.text();
    EXPECT_EQ(entries().size(), 2u);
}

// The recorder's file may be a link into a folder of its own: the link stays and its target,
// wherever the chain of links ends, takes the new text with its owner and mode.
TEST_F(ReplaceFileTest, SymlinkStaysAndItsTargetIsReplaced)
{
    ASSERT_EQ(mkdir((folder + "/nvr").c_str(), 0755), 0);
    const std::string target = folder + "/nvr/dhcp.conf";
    std::ofstream(target) << "old\n";
    ASSERT_EQ(chown(target.c_str(), kOtherUser, kOtherGroup), 0) << "needs root";
    chmod(target.c_str(), 0640);
    ASSERT_EQ(symlink(target.c_str(), (folder + "/absolute").c_str()), 0);
    ASSERT_EQ(symlink("absolute", file.c_str()), 0);  // relative, onto another link

    ASSERT_TRUE(replaceFile(file, "new\n"));
    char link[256] = {};
    ASSERT_GT(readlink(file.c_str(), link, sizeof link - 1), 0) << "the link was replaced";
    EXPECT_STREQ(link, "absolute");
    EXPECT_EQ(read(target), "new\n");
    EXPECT_EQ(ownerOf(target), "1234:5678 640");
    EXPECT_EQ(read(previous()), "old\n");
    EXPECT_EQ(ownerOf(previous()), "1234:5678 640");
    std::vector<std::string> left = entries();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"absolute", "dhcpd.conf", "dhcpd.conf.previous", "nvr"}));
    EXPECT_EQ(std::system(("test $(ls -A '" + folder + "/nvr' | wc -l) -eq 1").c_str()), 0)
        << "temporary file left beside the target";
}

struct BrokenLayoutCase {
    const char* name;
    void (*make)(const std::string& folder, const std::string& file);
    const char* reason;
};

void PrintTo(const BrokenLayoutCase& c, std::ostream* os) { *os << c.name; }

const BrokenLayoutCase kBrokenLayouts[] = {
    {"LinkLoop",
     [](const std::string& folder, const std::string& file) {
         symlink((folder + "/other").c_str(), file.c_str());
         symlink(file.c_str(), (folder + "/other").c_str());
     },
     "Too many levels of symbolic links"},
    // The old text cannot be kept, so it is not given up either.
    {"PreviousCopyCannotBeMade",
     [](const std::string&, const std::string& file) {
         std::ofstream(file) << "old\n";
         mkdir((file + ".previous").c_str(), 0755);
         std::ofstream(file + ".previous/keep") << "in the way\n";
     },
     "Is a directory"},
};

class BrokenLayoutTest : public ReplaceFileTest,
                         public ::testing::WithParamInterface<BrokenLayoutCase> {};

TEST_P(BrokenLayoutTest, NothingChangesAndTheReasonIsTraced)
{
    GetParam().make(folder, file);
    std::vector<std::string> before = entries();
    const std::string text = read();

    StdoutCapture out;
    EXPECT_FALSE(replaceFile(file, "new\n"));
    EXPECT_TRUE(out.contains("Failed to write " + file + ": " + GetParam().reason)) << out.text();
    EXPECT_EQ(read(), text);
    std::vector<std::string> after = entries();
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before) << "temporary file left";
}

INSTANTIATE_TEST_SUITE_P(Replace, BrokenLayoutTest, ::testing::ValuesIn(kBrokenLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplaceFileTest, DanglingLinkGetsItsTargetCreated)
{
    ASSERT_EQ(symlink("made.conf", file.c_str()), 0);
    ASSERT_TRUE(replaceFile(file, "new\n"));
    EXPECT_EQ(read(folder + "/made.conf"), "new\n");
    EXPECT_EQ(mode(folder + "/made.conf"), 0644u);
    struct stat st {};
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(entries().size(), 2u) << "no previous copy of a file that was not there";
}

TEST_F(ReplaceFileTest, MissingFolderFailsWithItsReason)
{
    StdoutCapture out;
    const std::string missing = folder + "/none/dhcpd.conf";
    EXPECT_FALSE(replaceFile(missing, "text\n"));
    EXPECT_TRUE(out.contains("Failed to write " + missing + ": No such file or directory"))
        << out.text();
    EXPECT_TRUE(entries().empty());
}

// Checkers that stand in for dhcpd: each is a script in the test's folder taking "-t -cf FILE".
struct CheckedWriteCase {
    const char* name;
    const char* checker;  // the script's body; nullptr: no checker installed at that path
    const char* text;
    DhcpFileWrite outcome;
    const char* trace;    // what the write must trace
};

void PrintTo(const CheckedWriteCase& c, std::ostream* os) { *os << c.name; }

// The checker must see the temporary file itself, whole, before the rename.
const char* const kWholeFileChecker =
    "[ \"$1 $2\" = '-t -cf' ] && [ \"${3%.??????}\" = \"$(dirname \"$3\")/dhcpd.conf\" ] && "
    "grep -qx 'new' \"$3\" && echo looks fine";

const CheckedWriteCase kCheckedWrites[] = {
    {"AcceptedFileReplacesTheOld", kWholeFileChecker, "new\n", DhcpFileWrite::Written,
     "0] looks fine"},
    {"RefusedFileLeavesTheOld", "echo 'line 1: semicolon expected.'; exit 1", "new\n",
     DhcpFileWrite::Refused, "1] line 1: semicolon expected."},
    {"CheckerKilledIsNoAcceptance", "kill -9 $$", "new\n", DhcpFileWrite::Refused, "137] "},
    // The shell that runs the checker is itself ended: its exit status never comes.
    {"ShellAroundTheCheckerKilled",
     "[ \"$(cat /proc/$PPID/comm)\" = sh ] && kill -KILL $PPID; exit 0", "new\n",
     DhcpFileWrite::Refused, "137] "},
    {"CheckerTerminated", "kill -TERM $$", "new\n", DhcpFileWrite::Refused, "143] "},
    {"NoCheckerWritesAsBefore", nullptr, "not even a configuration\n", DhcpFileWrite::Written,
     "not installed"},
};

class CheckedWriteTest : public ReplaceFileTest,
                         public ::testing::WithParamInterface<CheckedWriteCase> {};

TEST_P(CheckedWriteTest, OldFileReplacedOnlyWhenTheCheckerAccepts)
{
    const CheckedWriteCase& c = GetParam();
    const std::string checker = folder + "/check";
    if (c.checker) {
        std::ofstream(checker) << "#!/bin/sh\n" << c.checker << "\n";
        chmod(checker.c_str(), 0755);
    }
    std::ofstream(file) << "old\n";

    StdoutCapture out;
    EXPECT_EQ(replaceDhcpConfig(file, c.text, checker), c.outcome);
    const bool written = c.outcome == DhcpFileWrite::Written;
    EXPECT_EQ(read(), written ? c.text : "old\n");
    EXPECT_NE(out.text().find(c.trace), std::string::npos) << out.text();
    EXPECT_EQ(out.contains("Failed to write " + file + ": refused by " + checker), !written)
        << out.text();
    // The old text is kept beside only when the new one took its place.
    EXPECT_EQ(read(previous()), written ? "old\n" : "");
    std::vector<std::string> left = entries();
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected{"dhcpd.conf"};
    if (written)
        expected.push_back("dhcpd.conf.previous");
    if (c.checker)
        expected.insert(expected.begin(), "check");
    EXPECT_EQ(left, expected) << "temporary file left";
}

INSTANTIATE_TEST_SUITE_P(Checker, CheckedWriteTest, ::testing::ValuesIn(kCheckedWrites),
                         [](const auto& info) { return std::string(info.param.name); });

// The real dhcpd on the file as the page writes it: a pool outside the declared subnet.
TEST_F(ReplaceFileTest, DhcpdRefusesAPoolOutsideTheDeclaredSubnet)
{
    if (access(kDhcpdChecker, X_OK) != 0)
        GTEST_SKIP() << "no " << kDhcpdChecker;
    DhcpSettings settings = workedExample();
    settings.cameraNetmask = "255.255.0.0";
    settings.startIp = "192.168.2.100";
    settings.endIp = "192.168.2.200";
    std::ofstream(file) << kWorkedExampleText;

    StdoutCapture out;
    EXPECT_EQ(replaceDhcpConfig(file, formatDhcpConfig(settings)), DhcpFileWrite::Refused);
    EXPECT_EQ(read(), kWorkedExampleText);
    EXPECT_NE(out.text().find("bad range, address 192.168.2.100 not in subnet"), std::string::npos)
        << out.text();
    EXPECT_EQ(replaceDhcpConfig(file, formatDhcpConfig(workedExample())), DhcpFileWrite::Written);
    EXPECT_EQ(entries(), std::vector<std::string>{"dhcpd.conf"}) << "the same text needs no copy";
}

}  // namespace
