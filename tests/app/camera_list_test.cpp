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
#include "app/widgets.h"
#include "discovery/scan_rows.h"
#include "support/stdout_capture.h"
#include "utils/unique_fd.h"

namespace {

constexpr uint16_t kReplyPort = 7711;
constexpr uint16_t kWebPort = 80;
constexpr const char* kSiteHost = "10.20.30.1";  // the site network's side of the lab
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

// Sends the datagram to the recorder's reply port at the address.
void sendReply(int fd, const std::string& datagram, const std::string& address)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kReplyPort);
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

// Sends the datagrams from a socket of the lab once every camera has answered the scan's
// request, so that they reach the scan after the cameras' own replies.
class LateReplies {
public:
    LateReplies(UniqueFd from, std::vector<std::string> datagrams, std::string to)
        : sizes_(cameraLogSizes("discovery.log")), from_(std::move(from)),
          worker_([this, datagrams = std::move(datagrams), to = std::move(to)] {
              if (!lab::waitUntil([&] { return allAnsweredSince(sizes_); }, std::chrono::seconds(30)))
                  return;
              for (const std::string& datagram : datagrams)
                  sendReply(from_.get(), datagram, to);
          })
    {
    }
    ~LateReplies() { worker_.join(); }
    LateReplies(const LateReplies&) = delete;
    LateReplies& operator=(const LateReplies&) = delete;

private:
    const std::vector<std::size_t> sizes_;
    const UniqueFd from_;
    std::thread worker_;
};

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

// Replies of its own, sent from a camera on the camera network, reach the scan after every
// camera's: an address text that names a host inside it (first, so no camera's reply just before
// can hide what follows), then A, A again, B and A.
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

    StdoutCapture out;
    {
        UniqueFd camera = lab::socketIn(cams::kOwn, SOCK_DGRAM);
        ASSERT_TRUE(camera.valid());
        const LateReplies late(std::move(camera), crafted, nc.network1.address);
        rescan();
    }
    const std::string trace = out.finish();

    std::vector<std::string> craftedRows;
    for (const ListRow& row : rows())
        if (row.model.rfind("LAB-CRAFT-", 0) == 0)
            craftedRows.push_back(row.model + " " + row.ip + " " + row.status);
    EXPECT_EQ(craftedRows, (std::vector<std::string>{
                               "LAB-CRAFT-X " + foreign + " Other Network", "LAB-CRAFT-A 192.168.1.64 Not Connected",
                               "LAB-CRAFT-B " + b + " Connected", "LAB-CRAFT-A 192.168.1.64 Not Connected"}));
    EXPECT_EQ(rows().size(), cams::kAll.size() + 4);
    EXPECT_NE(trace.find("cameras=" + std::to_string(cams::kAll.size() + crafted.size())), std::string::npos)
        << trace;
    // The transport traces every URL it is given: none starts with the foreign text.
    EXPECT_EQ(trace.find("\n" + foreign), std::string::npos) << trace;
}

// A host of the site network sends a well-formed reply naming itself to the recorder's eth0,
// where a scan listens too: no row, and the host hears nothing from the wizard.
TEST_F(CameraList, ASiteHostsReplyIsNeitherListedNorAsked)
{
    arriveAtCameraPage(true);
    const UniqueFd listener = lab::listenerIn("site", kWebPort);
    UniqueFd site = lab::socketIn("site", SOCK_DGRAM);
    ASSERT_TRUE(listener.valid() && site.valid());

    StdoutCapture out;
    {
        const LateReplies late(std::move(site), {craftedReply("02:56:4C:00:5E:01", kSiteHost, "LAB-SITE-HOST")},
                               nc.network2.address);
        rescan();
    }
    const std::string trace = out.finish();

    EXPECT_NE(trace.find("reply not from the camera network: eth0\n"), std::string::npos) << trace;
    ASSERT_EQ(rows().size(), cams::kAll.size());
    for (const ListRow& row : rows())
        EXPECT_NE(row.model, "LAB-SITE-HOST");
    EXPECT_FALSE(lab::connected(listener.get()));
}

// A factory-new camera whose reply names an address of another network, which the wizard could
// reach through its default route to the site: the row is there and tells why, and nothing
// reaches that address during the scan, selection, Connect and Set Password.
TEST_F(CameraList, ACameraNamingAnAddressOutsideIsListedButNeverAsked)
{
    const std::string outside = "10.1.1.50";
    resetCamera(cams::kFresh2);
    ASSERT_TRUE(lab::command("exec site ip addr add " + outside + "/32 dev eth0"));
    ASSERT_TRUE(lab::command(std::string("camera ") + cams::kFresh2 + " set reply_address=" + outside));
    struct Restore {
        std::string outside;
        ~Restore()
        {
            lab::command(std::string("camera ") + cams::kFresh2 + " set reply_address=");
            lab::command("exec site ip addr del " + outside + "/32 dev eth0");
        }
    } restore{outside};
    const UniqueFd listener = lab::listenerIn("site", kWebPort);
    ASSERT_TRUE(listener.valid());
    {
        // Reachable from the recorder's namespace, where the wizard runs.
        UniqueFd probe(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(kWebPort);
        inet_pton(AF_INET, outside.c_str(), &to.sin_addr);
        ASSERT_EQ(::connect(probe.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
        ASSERT_TRUE(lab::waitUntil([&] { return lab::connected(listener.get()); }, std::chrono::seconds(5)));
    }
    const std::size_t requestsBefore = lab::fileText(lab::cameraFile(cams::kFresh2, "requests.log")).size();

    StdoutCapture out;
    arriveAtCameraPage(true);
    const ListRow row = rowOf(cams::kFresh2);
    EXPECT_EQ(row.ip, outside);
    EXPECT_EQ(row.status, "Other Network");
    EXPECT_EQ(row.tooltip, "10.1.1.50 is outside the camera network 192.168.1.0/24, so the wizard does not "
                           "contact it. Set the camera to DHCP (for example with its reset button) and Rescan.");

    select({cams::kFresh2});
    EXPECT_FALSE(button_ipassign->get_sensitive());
    connect({cams::kFresh2}, kFactoryUser, kFactoryPassword);
    select({cams::kFresh2});
    const std::string password = lab::secret("Never-Sent-2580");
    entry_camPW1->set_text(password);
    entry_camPW2->set_text(password);
    button_change_password->clicked();
    const std::string trace = out.finish();

    EXPECT_EQ(rowOf(cams::kFresh2).status, "Other Network");
    EXPECT_FALSE(lab::connected(listener.get()));
    EXPECT_EQ(trace.find("http://" + outside), std::string::npos);
    EXPECT_EQ(trace.find("\n" + outside + "/"), std::string::npos) << "a request URL for it";
    EXPECT_EQ(lab::requestsSince(cams::kFresh2, requestsBefore), std::vector<std::string>{});
    EXPECT_EQ(lab::state(cams::kFresh2, "s[\"initialized\"]"), "False");
}

// Rows selected when a Rescan empties the list: removing them does not run the selection for
// each, so no camera hears a request between the Rescan and its broadcast; the scan's own
// probes (status check, factory login) are all the cameras hear after it.
TEST_F(CameraList, ARescanWithRowsSelectedAsksNoCameraBeforeItsBroadcast)
{
    arriveAtCameraPage(true);
    select({cams::kFresh, cams::kDefault, cams::kOkLine, cams::kMojibake});
    const std::vector<std::size_t> requests = cameraLogSizes("requests.log");

    StdoutCapture out;
    rescan();
    const std::string trace = out.finish();

    const std::size_t broadcast = trace.find("Sending Broadcast Packet");
    ASSERT_NE(broadcast, std::string::npos) << trace;
    const std::string beforeBroadcast = trace.substr(0, broadcast);
    EXPECT_EQ(beforeBroadcast.find("-cgi/"), std::string::npos) << "a request before the broadcast:\n" << beforeBroadcast;
    for (std::size_t i = 0; i < cams::kAll.size(); ++i)
        for (const std::string& line : lab::requestsSince(cams::kAll[i], requests[i]))
            EXPECT_TRUE(line.find("msubmenu=statuscheck") != std::string::npos ||
                        line.find("msubmenu=deviceinfo") != std::string::npos)
                << cams::kAll[i] << " heard more than the scan's probes: " << line;
    EXPECT_EQ(rows().size(), cams::kAll.size());
    EXPECT_EQ(refTreeSelection->count_selected_rows(), 0);
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

// Escape as the display server delivers it to the dialog.
void pressEscape(Gtk::Window* window)
{
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window->get_window()->gobj()));
    event->key.send_event = TRUE;
    event->key.keyval = GDK_KEY_Escape;
    event->key.time = GDK_CURRENT_TIME;
    // The dialog's key bindings look the key up by its code, as the keyboard sends it.
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), GDK_KEY_Escape,
                                          &keys, &count) &&
        count > 0)
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gdk_event_put(event);
    gdk_event_free(event);
}

// Escape is the countdown's Cancel while Cancel is available; while it is grey, nothing.
TEST_F(CameraList, EscapeCancelsTheCountdownOnlyWhileCancelIsAvailable)
{
    arriveAtCameraPage(true);
    struct Case {
        bool whileGrey;
        bool scans;
    };
    for (const Case c : {Case{false, false}, Case{true, true}}) {
        SCOPED_TRACE(c.whileGrey ? "while grey" : "while available");
        bool pressed = false;
        Glib::signal_timeout().connect(
            [&]() {
                if (!dialog_progress->get_visible() || progressbar_cam->get_fraction() < 0.2 ||
                    button_cancel_scan->get_sensitive() == c.whileGrey)
                    return true;
                pressEscape(dialog_progress);
                pressed = true;
                return false;
            },
            5);
        StdoutCapture out;
        m_camRefTreeModel->clear();
        button_rescan->clicked();
        const std::string trace = out.finish();
        EXPECT_TRUE(pressed);
        EXPECT_FALSE(dialog_progress->get_visible());
        EXPECT_EQ(trace.find("netinfo:") != std::string::npos, c.scans) << trace;
        EXPECT_EQ(trace.find("cancel scan!") != std::string::npos, !c.scans) << trace;
        EXPECT_EQ(rows().size(), c.scans ? cams::kAll.size() : 0u);
    }
}

}  // namespace
