// A crash at any step of replacing the DHCP server's file leaves the whole old file or the whole
// new one at its path. Proven on the system calls themselves: the test runs one replacement of
// a small program under strace and checks that the file's path changes only by one rename of a
// complete, synced file, after the check saw that file and after the old text was kept whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "utils/command.h"

namespace {

constexpr const char* kStrace = "/usr/bin/strace";
// A program that does the one replacement and nothing else (its path comes from the build).
constexpr const char* kReplacer = DHCP_FILE_REPLACER;
const std::string kOldText = "old text that an administrator wrote\n";
const std::string kNewText = std::string(20000, '#') + "\nthe wizard's text\n";
constexpr const char* kTracedCalls =
    "openat,open,creat,write,fsync,fdatasync,close,fchown,fchmod,chmod,chown,fchownat,fchmodat,"
    "rename,renameat,renameat2,unlink,unlinkat,truncate,ftruncate,link,linkat,symlink,symlinkat,"
    "execve";

// One system call of the trace: process, name, arguments as strace wrote them, result.
struct Call {
    std::string pid, name, args, result;
};

// strace splits a call that another process interrupts; this joins the halves again.
std::vector<Call> readTrace(const std::string& path)
{
    static const std::regex unfinished(R"(^(\d+) +(.*) <unfinished \.\.\.>$)");
    static const std::regex resumed(R"(^(\d+) +<\.\.\. \w+ resumed>(.*)$)");
    static const std::regex call(R"(^(\d+) +(\w+)\((.*)\) += (.*)$)");
    std::map<std::string, std::string> pending;
    std::vector<Call> calls;
    std::ifstream in(path);
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_match(line, m, unfinished)) {
            pending[m[1]] = m[2];
            continue;
        }
        if (std::regex_match(line, m, resumed))
            line = m[1].str() + " " + pending[m[1]] + m[2].str();
        if (std::regex_match(line, m, call))
            calls.push_back({m[1], m[2], m[3], m[4]});
    }
    return calls;
}

// The quoted strings of a call's arguments (paths, argument vectors), in their order.
std::vector<std::string> quoted(const std::string& args)
{
    static const std::regex text(R"re("((?:[^"\\]|\\.)*)")re");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(args.begin(), args.end(), text); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1]);
    return found;
}

// The file behind a descriptor as "-y" shows it: "3</tmp/x/file>".
std::string fdPath(const std::string& text)
{
    static const std::regex fd(R"(^\d+<([^>]*)>)");
    std::smatch m;
    return std::regex_search(text, m, fd) ? m[1].str() : std::string();
}

long resultNumber(const std::string& result) { return std::strtol(result.c_str(), nullptr, 10); }

// What the replacing process did to one file, by the index of the call in the trace.
struct FileHistory {
    std::optional<std::size_t> created, synced, closed;
    bool exclusive = false;
    long bytes = 0;
};

// The trace read as what happened to each path of the test's folder.
struct Replacement {
    std::map<std::string, FileHistory> files;
    // destination -> (source, call index), for every rename that succeeded
    std::multimap<std::string, std::pair<std::string, std::size_t>> renames;
    std::map<std::string, std::size_t> checked;  // file the checker ran on -> call index
    std::vector<std::string> harmful;            // calls that could leave a half or no file
    std::map<std::string, std::size_t> folderSynced;  // folder -> last fsync's call index
};

Replacement replay(const std::vector<Call>& calls, const std::string& checker,
                   const std::vector<std::string>& guarded)
{
    Replacement r;
    const std::string self = calls.empty() ? std::string() : calls.front().pid;
    auto isGuarded = [&](const std::string& path) {
        return std::find(guarded.begin(), guarded.end(), path) != guarded.end();
    };
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const Call& c = calls[i];
        const std::vector<std::string> paths = quoted(c.args);
        if (c.name == "execve" && !paths.empty() && paths[0] == checker && paths.size() >= 5) {
            r.checked[paths.back()] = i;
            continue;
        }
        if (c.pid != self || resultNumber(c.result) < 0)
            continue;
        if (c.name == "openat" || c.name == "open" || c.name == "creat") {
            const std::string path = fdPath(c.result);
            const bool writes = c.name == "creat" || c.args.find("O_WRONLY") != std::string::npos ||
                                c.args.find("O_RDWR") != std::string::npos ||
                                c.args.find("O_TRUNC") != std::string::npos;
            if (writes && (isGuarded(path) || (!paths.empty() && isGuarded(paths[0]))))
                r.harmful.push_back(c.name + "(" + c.args + ")");
            if (c.args.find("O_CREAT") != std::string::npos) {
                r.files[path] = FileHistory{};
                r.files[path].created = i;
                r.files[path].exclusive = c.args.find("O_EXCL") != std::string::npos;
            }
        } else if (c.name == "write") {
            r.files[fdPath(c.args)].bytes += resultNumber(c.result);
        } else if (c.name == "fsync" || c.name == "fdatasync") {
            const std::string path = fdPath(c.args);
            r.files[path].synced = i;
            r.folderSynced[path] = i;
        } else if (c.name == "close") {
            r.files[fdPath(c.args)].closed = i;
        } else if (c.name.rfind("rename", 0) == 0 && paths.size() == 2) {
            if (isGuarded(paths[0]))
                r.harmful.push_back(c.name + "(" + c.args + ")");
            r.renames.insert({paths[1], {paths[0], i}});
        } else if (c.name.find("unlink") != std::string::npos || c.name.find("truncate") != std::string::npos ||
                   c.name.find("link") != std::string::npos) {
            const std::string path = paths.empty() ? fdPath(c.args) : paths[0];
            if (isGuarded(path) || (paths.size() > 1 && isGuarded(paths[1])))
                r.harmful.push_back(c.name + "(" + c.args + ")");
        }
    }
    return r;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

struct LayoutCase {
    const char* name;
    const char* target;  // where the file's text lives, relative to the folder
    const char* link;    // the name the program is given, a link to the target; nullptr: none
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

const LayoutCase kLayouts[] = {
    {"PlainFile", "dhcpd.conf", nullptr},
    {"SymlinkedFile", "nvr/dhcpd.conf", "dhcpd.conf"},
};

class ReplacementOrderTest : public ::testing::TestWithParam<LayoutCase> {
protected:
    void SetUp() override
    {
        if (access(kStrace, X_OK) != 0)
            GTEST_SKIP() << "no " << kStrace;
        char path[] = "/tmp/replacement-order-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        folder = path;
    }
    void TearDown() override
    {
        if (!folder.empty())
            std::system(("rm -rf '" + folder + "'").c_str());
    }
    std::string folder;
};

TEST_P(ReplacementOrderTest, PathChangesOnlyByOneRenameOfAWholeCheckedFile)
{
    const std::string target = folder + "/" + GetParam().target;
    const std::string path = folder + "/dhcpd.conf";
    const std::string previous = path + ".previous";
    const std::string checker = folder + "/check";
    mkdir(folderOf(target).c_str(), 0755);
    std::ofstream(target) << kOldText;
    if (GetParam().link) {
        ASSERT_EQ(symlink(GetParam().target, path.c_str()), 0);
    }
    std::ofstream(checker) << "#!/bin/sh\ngrep -q \"the wizard's text\" \"$3\"\n";
    chmod(checker.c_str(), 0755);

    const std::string log = folder + "/trace.log";
    const std::string textFile = folder + "/new-text";
    std::ofstream(textFile) << kNewText;
    // The leak check of a sanitizer build cannot run under a tracer; this run checks no memory.
    const std::string command = std::string("ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" ") +
                                kStrace + " -f -qq -y -s 256 -e trace=" + kTracedCalls + " -o '" + log +
                                "' '" + kReplacer + "' '" + path + "' '" + checker + "' <'" + textFile +
                                "' 2>&1";
    int status = -1;
    const std::string output = Utils::execCommand(command, status);
    ASSERT_EQ(status, 0) << output;

    // The world afterwards.
    EXPECT_EQ(readFile(target), kNewText);
    EXPECT_EQ(readFile(previous), kOldText);
    if (GetParam().link) {
        struct stat st {};
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced";
    }

    // Neither the file, nor its link, nor its kept copy is ever opened for writing, truncated,
    // removed or moved away: each changes only when a whole file is renamed onto it.
    std::vector<std::string> guarded = {target, previous};
    if (GetParam().link) {
        guarded.push_back(path);
    }
    const Replacement r = replay(readTrace(log), checker, guarded);
    EXPECT_TRUE(r.harmful.empty()) << r.harmful.front();
    ASSERT_EQ(r.renames.count(target), 1u) << "one rename puts the new file in place";
    ASSERT_EQ(r.renames.count(previous), 1u) << "one rename puts the old text aside";
    EXPECT_EQ(r.renames.count(path), GetParam().link ? 0u : 1u) << "the link stays";

    const auto [newFile, newRename] = r.renames.find(target)->second;
    const auto [oldCopy, copyRename] = r.renames.find(previous)->second;
    struct Expected {
        const char* what;
        std::string file;
        std::size_t rename;
        long bytes;
        std::string folder;
    };
    for (const Expected& e : {Expected{"new file", newFile, newRename, static_cast<long>(kNewText.size()), folderOf(target)},
                              Expected{"kept copy", oldCopy, copyRename, static_cast<long>(kOldText.size()), folderOf(previous)}}) {
        SCOPED_TRACE(e.what);
        EXPECT_EQ(folderOf(e.file), e.folder) << "a rename within one file system";
        const FileHistory& h = r.files.at(e.file);
        ASSERT_TRUE(h.created && h.synced && h.closed) << e.file;
        EXPECT_TRUE(h.exclusive) << "a fresh file, never one that exists";
        EXPECT_EQ(h.bytes, e.bytes) << "written whole";
        EXPECT_LT(*h.synced, e.rename) << "on disk before it takes the name";
        EXPECT_LT(*h.closed, e.rename);
        // The rename itself reaches the disk with its folder.
        const auto folderSync = r.folderSynced.find(e.folder);
        ASSERT_NE(folderSync, r.folderSynced.end()) << e.folder;
        EXPECT_GT(folderSync->second, e.rename);
    }
    // The check saw the very file that then took the name, before anything changed.
    ASSERT_EQ(r.checked.count(newFile), 1u) << "the checker ran on the temporary file";
    EXPECT_LT(r.checked.at(newFile), copyRename);
    EXPECT_LT(copyRename, newRename) << "the old text is kept before it is replaced";
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReplacementOrderTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
