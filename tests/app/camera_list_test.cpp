// The scan's rows and the countdown to it, against the lab's cameras and crafted replies.
#include <arpa/inet.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <thread>

#include "../camera/lab_support.h"
#include "app/camera_page_fixture.h"
#include "app/process_objects.h"
#include "app/scan_progress.h"
#include "support/stdout_capture.h"
#include "utils/unique_fd.h"

namespace {

constexpr uint16_t kReplyPort = 7711;
constexpr std::size_t kReplySize = 334;

std::string craftedReply(const std::string& mac, const std::string& ip, const std::string& model)
{
    std::string data(kReplySize, '\0');
    data.replace(19, mac.size(), mac);
    data.replace(37, ip.size(), ip);
    data.replace(109, model.size(), model);
    data[132] = 1;
    return data;
}

// Every camera has answered a discovery request since the sizes were taken.
bool allAnsweredSince(const std::vector<std::size_t>& sizes)
{
    for (std::size_t i = 0; i < cams::kAll.size(); ++i) {
        const std::string log = lab::fileText(lab::cameraFile(cams::kAll[i], "discovery.log"));
        if (log.size() <= sizes[i] || log.find("answered", sizes[i]) == std::string::npos)
            return false;
    }
    return true;
}

void expectCamera(const ListRow& row, const char* status, const char* firmware, const char* user)
{
    EXPECT_EQ(row.status, status);
    EXPECT_EQ(row.firmware, firmware);
    EXPECT_EQ(row.user, user);
}

using CameraList = CameraPageTest;

TEST_F(CameraList, EveryCameraARowNumberedInOrderWithWhatItsAnswersTell)
{
    resetCamera(cams::kFresh);
    StdoutCapture out;
    arriveAtCameraPage(true);
    const std::string trace = out.finish();

    const std::vector<ListRow> all = rows();
    ASSERT_EQ(all.size(), cams::kAll.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i].number, static_cast<int>(i + 1));
    EXPECT_NE(trace.find("cameras=" + std::to_string(cams::kAll.size())), std::string::npos);

    {
        SCOPED_TRACE("factory-new");
        const ListRow row = rowOf(cams::kFresh);
        expectCamera(row, "Need Password", "Unknown", "");
        EXPECT_EQ(row.password, "");
        EXPECT_EQ(row.mode, "DHCP");
        EXPECT_EQ(row.ip, lab::address(cams::kFresh));
        EXPECT_EQ(row.model, "LAB-IPC-2100");
    }
    {
        SCOPED_TRACE("factory login");
        const ListRow row = rowOf(cams::kDefault);
        expectCamera(row, "Connected", "2.14.3", "admin");
        EXPECT_EQ(row.password, "7395");
        EXPECT_EQ(row.model, "LAB-IPC-3200");
    }
    {
        SCOPED_TRACE("own password, static");
        const ListRow row = rowOf(cams::kOwn);
        expectCamera(row, "Not Connected", "Unknown", "");
        EXPECT_EQ(row.mode, "Static");
        EXPECT_EQ(row.ip, "192.168.1.64");
    }
    {
        SCOPED_TRACE("no HTTP");
        expectCamera(rowOf(cams::kNoHttp), "Not Connected", "Unknown", "");
    }
    {
        SCOPED_TRACE("model text not UTF-8");
        const ListRow row = rowOf(cams::kMojibake);
        EXPECT_TRUE(g_utf8_validate(row.model.data(), static_cast<gssize>(row.model.size()), nullptr));
        EXPECT_EQ(row.model.rfind("LAB-IPC-2100", 0), 0u) << row.model;
        EXPECT_NE(row.model.find("\xEF\xBF\xBD"), std::string::npos) << row.model;
        expectCamera(row, "Connected", "2.14.3", "admin");
    }
}

// Replies of its own reach the scan after every camera's: an address text that names a host
// inside it (first, so no camera's reply just before can hide what follows), then A, A again,
// B and A.
TEST_F(CameraList, RepeatsInARowAreDroppedOthersListedAndOnlyDottedAddressesAsked)
{
    arriveAtCameraPage(true);
    const std::string a = "192.168.1.64";  // the static camera, so requests to it are answered
    const std::string b = lab::address(cams::kDefault);
    const std::string foreign = "x@" + b;
    const std::vector<std::string> crafted = {
        craftedReply("02:56:4C:00:0C:01", foreign, "LAB-CRAFT-X"),
        craftedReply("02:56:4C:00:0A:01", a, "LAB-CRAFT-A"), craftedReply("02:56:4C:00:0A:01", a, "LAB-CRAFT-A"),
        craftedReply("02:56:4C:00:0B:01", b, "LAB-CRAFT-B"), craftedReply("02:56:4C:00:0A:01", a, "LAB-CRAFT-A")};

    const std::vector<std::size_t> sizes = cameraLogSizes("discovery.log");
    std::thread sender([&] {
        if (!lab::waitUntil([&] { return allAnsweredSince(sizes); }, std::chrono::seconds(30)))
            return;
        UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(kReplyPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (const std::string& reply : crafted)
            sendto(fd.get(), reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    });
    StdoutCapture out;
    rescan();
    sender.join();
    const std::string trace = out.finish();

    std::vector<std::string> craftedRows;
    for (const ListRow& row : rows())
        if (row.model.rfind("LAB-CRAFT-", 0) == 0)
            craftedRows.push_back(row.model + " " + row.ip + " " + row.status);
    EXPECT_EQ(craftedRows, (std::vector<std::string>{
                               "LAB-CRAFT-X " + foreign + " Not Connected", "LAB-CRAFT-A 192.168.1.64 Not Connected",
                               "LAB-CRAFT-B " + b + " Connected", "LAB-CRAFT-A 192.168.1.64 Not Connected"}));
    EXPECT_EQ(rows().size(), cams::kAll.size() + 4);
    EXPECT_NE(trace.find("cameras=" + std::to_string(cams::kAll.size() + crafted.size())), std::string::npos)
        << trace;
    // The transport traces every URL it is given: none starts with the foreign text.
    EXPECT_EQ(trace.find("\n" + foreign), std::string::npos) << trace;
}

// Ticks the countdown by hand and records what the dialog shows after each.
struct Tick {
    bool keepsTimer;
    bool cancelSensitive;
    bool dialogVisible;
};

TEST_F(CameraList, CancelGreysOutAtTheEighteenthTickAndTheScanRunsAtTheTwentieth)
{
    arriveAtCameraPage(true);
    std::vector<Tick> ticks;
    std::vector<std::size_t> discoveryBeforeLastTick;
    const std::string broadcast = nc.network1.broadcast;
    Glib::signal_timeout().connect(
        [&]() {
            if (!dialog_progress->get_visible())
                return true;
            m_connection_timeout.disconnect();
            EXPECT_EQ(progressbar_cam->get_fraction(), 0.0);
            EXPECT_EQ(label_scanning->get_text(), "Scanning...");
            for (int i = 1; i <= 20; ++i) {
                if (i == 20)
                    discoveryBeforeLastTick = cameraLogSizes("discovery.log");
                const bool keeps = on_progressbar_timeout(broadcast);
                ticks.push_back({keeps, button_cancel_scan->get_sensitive(), dialog_progress->get_visible()});
            }
            return false;
        },
        10);
    m_camRefTreeModel->clear();
    const std::vector<std::size_t> discoveryAtStart = cameraLogSizes("discovery.log");
    button_rescan->clicked();

    ASSERT_EQ(ticks.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE("tick " + std::to_string(i + 1));
        EXPECT_EQ(ticks[i].keepsTimer, i + 1 < 20);
        EXPECT_EQ(ticks[i].cancelSensitive, i + 1 < 18);
        EXPECT_EQ(ticks[i].dialogVisible, i + 1 < 20);
    }
    EXPECT_EQ(discoveryBeforeLastTick, discoveryAtStart) << "a discovery request before the 20th tick";
    EXPECT_EQ(rows().size(), cams::kAll.size());
}

TEST_F(CameraList, CancelClosesAtOnceNoScanFollowsAndARescanRightAfterStartsClean)
{
    arriveAtCameraPage(true);
    const std::vector<ListRow> before = rows();
    const std::vector<std::size_t> discovery = cameraLogSizes("discovery.log");

    // The real 100 ms timer runs; Cancel comes after a few of its ticks.
    Glib::signal_timeout().connect(
        []() {
            if (!dialog_progress->get_visible() || progressbar_cam->get_fraction() < 0.2)
                return true;
            button_cancel_scan->clicked();
            return false;
        },
        10);
    StdoutCapture out;
    button_rescan->clicked();
    EXPECT_FALSE(dialog_progress->get_visible());
    EXPECT_FALSE(m_connection_timeout.connected()) << "the cancelled timer still ticks";
    EXPECT_TRUE(out.contains("cancel scan!"));

    // Long enough for the old timer to have scanned had it gone on.
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    run_until([&] { return std::chrono::steady_clock::now() > quiet; }, std::chrono::seconds(5));
    EXPECT_EQ(cameraLogSizes("discovery.log"), discovery) << "a scan ran after Cancel";
    ASSERT_EQ(rows().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(rows()[i].mac, before[i].mac);

    // A new run: empty bar, Cancel available, and its own 100 ms timer alone up to the scan.
    double fractionAtStart = -1;
    bool cancelAtStart = false;
    Glib::signal_timeout().connect(
        [&]() {
            if (!dialog_progress->get_visible())
                return true;
            fractionAtStart = progressbar_cam->get_fraction();
            cancelAtStart = button_cancel_scan->get_sensitive();
            return false;
        },
        1);
    m_camRefTreeModel->clear();
    button_rescan->clicked();
    const std::string trace = out.finish();
    EXPECT_EQ(fractionAtStart, 0.0);
    EXPECT_TRUE(cancelAtStart);
    EXPECT_FALSE(dialog_progress->get_visible());
    EXPECT_EQ(rows().size(), before.size());
    std::size_t scans = 0;
    for (auto at = trace.find("netinfo:"); at != std::string::npos; at = trace.find("netinfo:", at + 1))
        ++scans;
    EXPECT_EQ(scans, 1u) << trace;
}

}  // namespace
