// The network page: filling it at start-up, writing the DHCP file from it, the switch and the
// validation messages. Every test has a private, empty /etc/dhcp.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "app/gui_fixture.h"
#include "support/stdout_capture.h"
#include "dhcp_file_text.h"
#include "dhcpd_check.h"
#include "file_owner.h"
#include "network/dhcp_page.h"
#include "private_etc_dhcp.h"

namespace {

// An installer's file that the wizard must not lose.
const char* const kOldText = "# hand-written\nsubnet 10.9.0.0 netmask 255.255.0.0 {\n}\n";
const char* const kNotSaved = "The DHCP settings could not be saved";
const char* const kInvalidIp = "Please enter a valid IP";

interfaces_t record(bool valid, const std::string& address, const std::string& netmask = "")
{
    interfaces_t r;
    r.valid = valid;
    r.address = address;
    r.netmask = netmask;
    return r;
}

// A NetworkConfig that holds chosen records, whatever the host's interfaces are.
NetworkConfig configWith(const interfaces_t& camera, const interfaces_t& corporate)
{
    NetworkConfig config("eth1", "eth0");
    config.network1 = camera;
    config.network1.name = "eth1";
    config.network2 = corporate;
    config.network2.name = "eth0";
    return config;
}

const char* const kPreviousConf = "/etc/dhcp/dhcpd.conf.previous";
const char* const kRefused = "The DHCP server refused these settings";
// An administrator's user and group, not root's.
constexpr uid_t kOtherUser = 1234;
constexpr gid_t kOtherGroup = 5678;

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}


std::vector<Gtk::Widget*> dhcpInputs()
{
    return {entry_startip, entry_endip,      spin_users,
            spin_lease,    entry_primarydns, entry_secondarydns};
}

std::vector<Gtk::Label*> errorLabels()
{
    return {label_startiperror, label_endiperror, label_primarydnserror, label_secondarydnserror};
}

class DhcpPageTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        mountPrivateEtcDhcp();
    }

    // The page as an installer leaves it for the worked example.
    void fillWorkedExample()
    {
        label_n1addr->set_text("192.168.1.1");
        switch_dhcp->set_active(true);
        spin_users->set_value(16);
        spin_lease->set_value(48);
        entry_startip->set_text("192.168.1.100");
        entry_endip->set_text("192.168.1.200");
        entry_primarydns->set_text("8.8.8.8");
        entry_secondarydns->set_text("8.8.4.4");
    }

    NetworkConfig camera =
        configWith(record(true, "192.168.1.1", "255.255.255.0"), record(false, ""));
};

struct AddressCase {
    const char* name;
    interfaces_t camera, corporate;
    const char *n1, *n2, *pool;
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

const AddressCase kAddressCases[] = {
    {"BothFound", record(true, "192.168.1.10"), record(true, "10.20.30.40"), "192.168.1.10",
     "10.20.30.40", "192.168.1."},
    {"CameraInterfaceMissing", record(false, ""), record(true, "10.20.30.40"), "0.0.0.0",
     "10.20.30.40", ""},
    {"CorporateInterfaceMissing", record(true, "10.1.2.3"), record(false, ""), "10.1.2.3",
     "0.0.0.0", "10.1.2."},
};

class InterfaceAddressesTest : public GuiTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(InterfaceAddressesTest, ShownAndPoolPrefilled)
{
    NetworkConfig config = configWith(GetParam().camera, GetParam().corporate);
    init_networkConfig(config);
    EXPECT_EQ(label_n1addr->get_text(), GetParam().n1);
    EXPECT_EQ(label_n2addr->get_text(), GetParam().n2);
    EXPECT_EQ(entry_startip->get_text(), GetParam().pool);
    EXPECT_EQ(entry_endip->get_text(), GetParam().pool);
}

INSTANTIATE_TEST_SUITE_P(Page, InterfaceAddressesTest, ::testing::ValuesIn(kAddressCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ReadCase {
    const char* name;
    const char* file;
    double users, lease;
    const char *primary, *secondary;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const ReadCase kReadCases[] = {
    {"WrittenByTheWizardComesBackWithFloors", kWorkedExampleText, 50, 120, "8.8.8.8", "8.8.4.4"},
    {"InstallersFileWithOneDnsServer",
     "default-lease-time 864000;\nmax-lease-time 900000;\nclass \"a\" {\n  lease limit 80;\n}\n"
     "  option domain-name-servers 9.9.9.9;\n",
     80, 240, "9.9.9.9", ""},
    {"NothingTheReaderKnows", kOldText, 0, 0, "", ""},
    // Before every client joined the limited class the file had no membership line.
    {"WrittenBeforeClientsJoinedTheClass",
     "class \"limited-1\" {\n  lease limit 80;\n}\nINTERFACESv4=\"eth1\";\n"
     "default-lease-time 864000;\nmax-lease-time 864000;\n"
     "subnet 192.168.1.0 netmask 255.255.255.0 {\n  range 192.168.1.100 192.168.1.200;\n"
     "  option subnet-mask 255.255.255.0;\n  option domain-name-servers 9.9.9.9, 1.1.1.1;\n}\n",
     80, 240, "9.9.9.9", "1.1.1.1"},
    {"LaterLinesWin", "default-lease-time 864000;\n  # default-lease-time 600;\n", 0, 120, "", ""},
};

class DhcpReadTest : public DhcpPageTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(DhcpReadTest, FileFillsThePageAndGreysItOut)
{
    writeFile(kDhcpdConf, GetParam().file);
    for (Gtk::Label* label : errorLabels())
        label->set_text("old error");

    init_dhcp(camera);

    EXPECT_EQ(spin_users->get_value(), GetParam().users);
    EXPECT_EQ(spin_lease->get_value(), GetParam().lease);
    EXPECT_EQ(entry_primarydns->get_text(), GetParam().primary);
    EXPECT_EQ(entry_secondarydns->get_text(), GetParam().secondary);
    EXPECT_FALSE(switch_dhcp->get_active());
    for (Gtk::Widget* input : dhcpInputs())
        EXPECT_FALSE(input->get_sensitive()) << input->get_name();
    for (Gtk::Label* label : errorLabels())
        EXPECT_EQ(label->get_text(), "");
}

INSTANTIATE_TEST_SUITE_P(Page, DhcpReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DhcpPageTest, MissingFileLeavesThePageAsLoaded)
{
    StdoutCapture out;
    init_dhcp(camera);
    EXPECT_TRUE(out.contains("Failed to open /etc/dhcp/dhcpd.conf")) << out.text();
    for (Gtk::Widget* input : dhcpInputs())
        EXPECT_TRUE(input->get_sensitive()) << input->get_name();
    EXPECT_EQ(spin_users->get_value(), 0);
    EXPECT_EQ(entry_primarydns->get_text(), "");
}

struct WriteCase {
    const char* name;
    void (*change)(NetworkConfig&);           // page and camera interface, from the worked example
    std::map<int, std::string> changedLines;  // line number (from 1) and its text
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

const WriteCase kWriteCases[] = {
    {"WorkedExample", [](NetworkConfig&) {}, {}},
    {"OneDnsServer", [](NetworkConfig&) { entry_secondarydns->set_text(""); },
     {{11, "  option domain-name-servers 8.8.8.8;"}}},
    {"NoDnsServer",
     [](NetworkConfig&) {
         entry_primarydns->set_text("");
         entry_secondarydns->set_text("");
     },
     {{11, "  option domain-name-servers 0.0.0.0;"}}},
    {"ClassACameraNetwork",
     [](NetworkConfig& config) {
         config.network1.address = "10.1.2.3";
         config.network1.netmask = "255.255.0.0";
         label_n1addr->set_text("10.1.2.3");
         entry_startip->set_text("10.1.2.100");
         entry_endip->set_text("10.1.2.200");
     },
     {{8, "subnet 10.0.0.0 netmask 255.0.0.0 {"},
      {9, "  range 10.1.2.100 10.1.2.200;"},
      {10, "  option subnet-mask 255.255.0.0;"}}},
};

class DhcpWriteTest : public DhcpPageTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(DhcpWriteTest, PageWrittenWholeKeepingOwnerAndModeAndTheOldTextAndAcceptedByDhcpd)
{
    writeFile(kDhcpdConf, kOldText);
    ASSERT_EQ(chown(kDhcpdConf, kOtherUser, kOtherGroup), 0);
    chmod(kDhcpdConf, 0640);
    fillWorkedExample();
    GetParam().change(camera);

    EXPECT_TRUE(apply_dhcp(camera));

    std::vector<std::string> expected = linesOf(kWorkedExampleText);
    for (const auto& [number, text] : GetParam().changedLines)
        expected[number - 1] = text;
    std::string expectedText;
    for (const std::string& line : expected)
        expectedText += line + "\n";
    EXPECT_EQ(readFile(kDhcpdConf), expectedText);
    EXPECT_EQ(ownerOf(kDhcpdConf), "1234:5678 640");
    EXPECT_EQ(readFile(kPreviousConf), kOldText);
    EXPECT_EQ(ownerOf(kPreviousConf), "1234:5678 640");
    const DhcpdVerdict verdict = dhcpdCheck(kDhcpdConf);
    EXPECT_EQ(verdict.status, 0) << verdict.output;
    EXPECT_EQ(label_startiperror->get_text(), "");
}

INSTANTIATE_TEST_SUITE_P(Page, DhcpWriteTest, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DhcpPageTest, SwitchOffLeavesTheFileAlone)
{
    writeFile(kDhcpdConf, kOldText);
    fillWorkedExample();
    switch_dhcp->set_active(false);

    EXPECT_FALSE(apply_dhcp(camera));
    EXPECT_EQ(readFile(kDhcpdConf), kOldText);
}

TEST_F(DhcpPageTest, CameraInterfaceWithoutAddressKeepsTheFileAndThrowsNothing)
{
    writeFile(kDhcpdConf, kOldText);
    fillWorkedExample();
    label_n1addr->set_text("0.0.0.0");  // as loaded: the interface was not found
    NetworkConfig missing = configWith(record(false, ""), record(false, ""));

    StdoutCapture out;
    bool applied = false;
    EXPECT_NO_THROW(applied = apply_dhcp(missing));
    EXPECT_TRUE(applied);
    EXPECT_EQ(readFile(kDhcpdConf), kOldText);
    EXPECT_NE(out.text().find("Failed to write /etc/dhcp/dhcpd.conf: "), std::string::npos)
        << out.text();
    EXPECT_EQ(label_startiperror->get_text(), kNotSaved);
}

struct RefusedWriteCase {
    const char* name;
    unsigned long flags;
    const char* options;
    const char* reason;
};

void PrintTo(const RefusedWriteCase& c, std::ostream* os) { *os << c.name; }

const RefusedWriteCase kRefusedWrites[] = {
    {"ReadOnlyFolder", MS_RDONLY, "", "Read-only file system"},
    {"FullDisk", 0, "size=4k", "No space left on device"},
};

class RefusedWriteTest : public DhcpPageTest,
                         public ::testing::WithParamInterface<RefusedWriteCase> {};

TEST_P(RefusedWriteTest, OldFileStaysWhole)
{
    writeFile(kDhcpdConf, kOldText);
    remountPrivateEtcDhcp(GetParam().flags, GetParam().options);
    fillWorkedExample();

    StdoutCapture out;
    EXPECT_TRUE(apply_dhcp(camera));  // the service then restarts with the old file
    EXPECT_EQ(readFile(kDhcpdConf), kOldText);
    EXPECT_TRUE(out.contains(std::string("Failed to write /etc/dhcp/dhcpd.conf: ") +
                             GetParam().reason))
        << out.text();
    EXPECT_EQ(label_startiperror->get_text(), kNotSaved);
    remountPrivateEtcDhcp(0, "size=1m");
    EXPECT_EQ(std::system("test $(ls -A /etc/dhcp | wc -l) -eq 1"), 0) << "temporary file left";
}

INSTANTIATE_TEST_SUITE_P(Page, RefusedWriteTest, ::testing::ValuesIn(kRefusedWrites),
                         [](const auto& info) { return std::string(info.param.name); });

// A camera interface wider than its address's class: the pool passes the page but lies outside
// the subnet the file declares, so dhcpd refuses the file and the old one must keep serving.
TEST_F(DhcpPageTest, FileDhcpdRefusesKeepsTheOldOneAndSaysSoBesideThePool)
{
    if (access("/usr/sbin/dhcpd", X_OK) != 0)
        GTEST_SKIP() << "no /usr/sbin/dhcpd";
    writeFile(kDhcpdConf, kOldText);
    NetworkConfig wide = configWith(record(true, "192.168.1.1", "255.255.0.0"), record(false, ""));
    init_networkConfig(wide);
    fillWorkedExample();
    entry_startip->set_text("192.168.2.100");
    entry_endip->set_text("192.168.2.200");
    ASSERT_TRUE(validateDhcpSettings());

    StdoutCapture out;
    EXPECT_TRUE(apply_dhcp(wide));  // the service then restarts with the old file
    EXPECT_EQ(readFile(kDhcpdConf), kOldText);
    EXPECT_EQ(label_startiperror->get_text(), kRefused);
    EXPECT_TRUE(out.contains("Failed to write /etc/dhcp/dhcpd.conf: refused by /usr/sbin/dhcpd"))
        << out.text();
    EXPECT_NE(out.text().find("bad range, address 192.168.2.100 not in subnet"), std::string::npos)
        << out.text();
    EXPECT_EQ(std::system("test $(ls -A /etc/dhcp | wc -l) -eq 1"), 0) << "temporary file left";

    // The next Next clears the line again.
    EXPECT_TRUE(validateDhcpSettings());
    EXPECT_EQ(label_startiperror->get_text(), "");
}

// The recorder's file as a link into a folder of its own: the link stays, its target is
// replaced with its owner and mode, and the old text is kept beside the link.
TEST_F(DhcpPageTest, SymlinkedFileKeepsItsLinkAndTheTargetTakesTheNewText)
{
    const std::string target = std::string(kEtcDhcp) + "/nvr/dhcpd.conf";
    ASSERT_EQ(mkdir((std::string(kEtcDhcp) + "/nvr").c_str(), 0750), 0);
    writeFile(target, kOldText);
    ASSERT_EQ(chown(target.c_str(), kOtherUser, kOtherGroup), 0);
    chmod(target.c_str(), 0640);
    ASSERT_EQ(symlink("nvr/dhcpd.conf", kDhcpdConf), 0);
    fillWorkedExample();

    StdoutCapture out;
    EXPECT_TRUE(apply_dhcp(camera));
    char link[64] = {};
    ASSERT_GT(readlink(kDhcpdConf, link, sizeof link - 1), 0) << "the link was replaced";
    EXPECT_STREQ(link, "nvr/dhcpd.conf");
    EXPECT_EQ(readFile(target), kWorkedExampleText);
    EXPECT_EQ(ownerOf(target), "1234:5678 640");
    EXPECT_EQ(readFile(kPreviousConf), kOldText);
    EXPECT_EQ(ownerOf(kPreviousConf), "1234:5678 640");
    EXPECT_TRUE(out.contains("Kept the previous /etc/dhcp/dhcpd.conf as " +
                             std::string(kPreviousConf)))
        << out.text();
    EXPECT_EQ(label_startiperror->get_text(), "");
}

struct KilledCheckerCase {
    const char* name;
    const char* checker;  // the stand-in's body, run as "dhcpd -t -cf FILE"
    const char* status;
};

void PrintTo(const KilledCheckerCase& c, std::ostream* os) { *os << c.name; }

const KilledCheckerCase kKilledCheckers[] = {
    {"CheckerKilled", "kill -KILL $$", "[137] "},
    {"CheckerTerminated", "kill -TERM $$", "[143] "},
    // The shell the check runs in is ended before it can pass on any status.
    {"ShellAroundTheCheckerKilled", "[ \"$(cat /proc/$PPID/comm)\" = sh ] && kill -KILL $PPID; exit 0",
     "[137] "},
};

class KilledCheckerTest : public DhcpPageTest,
                          public ::testing::WithParamInterface<KilledCheckerCase> {};

TEST_P(KilledCheckerTest, OldFileStaysAndThePageSaysRefused)
{
    writeFile(kDhcpdConf, kOldText);
    fillWorkedExample();
    const ScriptOver checker("/usr/sbin/dhcpd", GetParam().checker);

    StdoutCapture out;
    EXPECT_TRUE(apply_dhcp(camera));  // the service then restarts with the old file
    EXPECT_EQ(readFile(kDhcpdConf), kOldText);
    EXPECT_EQ(label_startiperror->get_text(), kRefused);
    EXPECT_NE(out.text().find(GetParam().status), std::string::npos) << out.text();
    EXPECT_TRUE(out.contains("Failed to write /etc/dhcp/dhcpd.conf: refused by /usr/sbin/dhcpd"))
        << out.text();
    EXPECT_EQ(std::system("test $(ls -A /etc/dhcp | wc -l) -eq 1"), 0)
        << "temporary file or copy left";
}

INSTANTIATE_TEST_SUITE_P(Page, KilledCheckerTest, ::testing::ValuesIn(kKilledCheckers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DhcpPageTest, PoolOutsideTheCameraSubnetIsRefusedBesideTheBound)
{
    init_networkConfig(camera);  // 192.168.1.1/24
    fillWorkedExample();
    struct Bound {
        Gtk::Entry* entry;
        Gtk::Label* label;
    };
    for (const Bound& bound : {Bound{entry_startip, label_startiperror},
                               Bound{entry_endip, label_endiperror}}) {
        const Glib::ustring kept = bound.entry->get_text();
        bound.entry->set_text("192.168.2.150");
        StdoutCapture out;
        EXPECT_FALSE(validateDhcpSettings());
        EXPECT_TRUE(out.contains("ip outside the camera subnet")) << out.text();
        for (Gtk::Label* label : errorLabels())
            EXPECT_EQ(label->get_text(), label == bound.label ? kInvalidIp : "");
        bound.entry->set_text(kept);
    }
    EXPECT_TRUE(validateDhcpSettings());
}

TEST_F(DhcpPageTest, SwitchGreysInputsAndClearsErrorsOnlyWhenTurnedOff)
{
    switch_dhcp->property_active().signal_changed().connect(
        sigc::ptr_fun(&on_switch_dhcp_state_set));
    StdoutCapture out;

    switch_dhcp->set_active(true);
    for (Gtk::Widget* input : dhcpInputs())
        EXPECT_TRUE(input->get_sensitive()) << input->get_name();
    label_startiperror->set_text("Please enter a valid IP");

    switch_dhcp->set_active(false);
    for (Gtk::Widget* input : dhcpInputs())
        EXPECT_FALSE(input->get_sensitive()) << input->get_name();
    for (Gtk::Label* label : errorLabels())
        EXPECT_EQ(label->get_text(), "");

    switch_dhcp->set_active(true);
    EXPECT_EQ(label_startiperror->get_text(), "");
    EXPECT_TRUE(out.contains("switch_dhcp toggled")) << out.text();
}

TEST_F(DhcpPageTest, ValidationShowsOnlyTheFirstErrorBesideItsField)
{
    fillWorkedExample();
    entry_endip->set_text("192.168.1.");
    entry_secondarydns->set_text("8.8");
    label_primarydnserror->set_text("stale");

    StdoutCapture out;
    EXPECT_FALSE(validateDhcpSettings());
    EXPECT_TRUE(out.contains("invalid ip")) << out.text();
    for (Gtk::Label* label : errorLabels())
        EXPECT_EQ(label->get_text(), label == label_endiperror ? "Please enter a valid IP" : "");

    entry_endip->set_text("192.168.1.200");
    EXPECT_FALSE(validateDhcpSettings());
    for (Gtk::Label* label : errorLabels())
        EXPECT_EQ(label->get_text(), label == label_secondarydnserror
                                         ? "Please enter a valid DNS or leave blank"
                                         : "");

    switch_dhcp->set_active(false);
    EXPECT_TRUE(validateDhcpSettings());
    for (Gtk::Label* label : errorLabels())
        EXPECT_EQ(label->get_text(), "");
}

}  // namespace
