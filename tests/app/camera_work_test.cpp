// The wait while cameras are asked, on the real window: the input is held, the dialog shows once
// the cameras take longer than half a second, and its Cancel, Escape and the window's close
// request each end every outstanding request at once.
#include <gdk/gdk.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/camera_work.h"
#include "app/gui_fixture.h"
#include "app/handlers.h"
#include "app/process_objects.h"
#include "camera/canned_http_server.h"
#include "network/NetworkConfig.h"
#include "support/stdout_capture.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr in_addr_t kSilentCamera = INADDR_LOOPBACK;
constexpr in_addr_t kQuickCamera = INADDR_LOOPBACK + 1;
constexpr unsigned int kLookAtMs = 900;

RequestSequence deviceInfo(const std::string& address)
{
    return {[address](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
        return prepareCorvexData(kDeviceInfoView, address, "admin", "7395");
    }};
}

// An event as the display server would deliver it to the main window.
void deliverToMainWindow(GdkEventType type)
{
    GdkEvent* event = gdk_event_new(type);
    event->any.window = GDK_WINDOW(g_object_ref(window_main->get_window()->gobj()));
    event->any.send_event = TRUE;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    if (type == GDK_KEY_PRESS) {
        event->key.keyval = GDK_KEY_Escape;
        event->key.time = GDK_CURRENT_TIME;
        gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
    } else if (type == GDK_BUTTON_PRESS || type == GDK_BUTTON_RELEASE) {
        event->button.button = 1;
        event->button.time = GDK_CURRENT_TIME;
        gdk_event_set_device(event, gdk_seat_get_pointer(seat));
    }
    gdk_event_put(event);
    gdk_event_free(event);
}

struct EndCase {
    const char* name;
    std::function<void()> end;
};

void PrintTo(const EndCase& c, std::ostream* os)
{
    *os << c.name;
}

class CameraWork : public GuiTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(loopback_.ready()) << "needs root";
        GuiTest::SetUp();
        connect_handlers(nc_);
        window_main->show();
        run_until([] { return window_main->get_mapped(); });
    }
    void TearDown() override { window_main->hide(); }

private:
    PrivateLoopback loopback_;
    NetworkConfig nc_{"eth1", "eth0"};
};

class CameraWorkEnd : public CameraWork, public testing::WithParamInterface<EndCase> {};

}  // namespace

TEST_P(CameraWorkEnd, EndsEveryOutstandingRequestAtOnceAndGivesTheInputBack)
{
    SilentPeer silent(kSilentCamera);
    CannedHttpServer quick("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok",
                           CannedHttpServer::kWebPort, kQuickCamera);
    std::vector<RequestSequence> sequences{deviceInfo(silent.address()), deviceInfo(quick.address()),
                                           deviceInfo(silent.address())};
    RequestBatch batch(std::move(sequences));

    bool shown = false;
    bool held = false;
    std::string text;
    Glib::signal_timeout().connect_once(
        [&] {
            shown = dialog_asking->get_visible();
            held = askingCameras();
            text = label_asking->get_text();
            GetParam().end();
        },
        kLookAtMs);
    StdoutCapture capture;
    const auto started = Clock::now();
    const bool completed = askCameras(batch);
    const auto took = Clock::now() - started;
    capture.finish();

    EXPECT_FALSE(completed);
    EXPECT_TRUE(shown) << "the dialog shows after half a second";
    EXPECT_TRUE(held) << "the input is held meanwhile";
    EXPECT_EQ(text, "Asking 3 cameras: 1 answered");
    EXPECT_LT(took, std::chrono::milliseconds(kLookAtMs) + 2s) << "the wait ended at once";
    EXPECT_TRUE(batch.cancelled());
    EXPECT_TRUE(batch.answered(1));
    EXPECT_FALSE(batch.answered(0));
    EXPECT_FALSE(dialog_asking->get_visible());
    EXPECT_TRUE(window_main->get_visible()) << "the close request only cancelled";
    EXPECT_FALSE(askingCameras());
    EXPECT_TRUE(run_until([&] { return silent.closedByClient() == 2; }, 5s)) << "a request left running";
}

INSTANTIATE_TEST_SUITE_P(
    EveryWayOut, CameraWorkEnd,
    testing::Values(EndCase{"Cancel", [] { button_cancel_asking->clicked(); }},
                    EndCase{"Escape", [] { deliverToMainWindow(GDK_KEY_PRESS); }},
                    EndCase{"CloseRequest", [] { deliverToMainWindow(GDK_DELETE); }}),
    [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST_F(CameraWork, QuickAnswersShowNoDialog)
{
    CannedHttpServer quick("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok",
                           CannedHttpServer::kWebPort, kQuickCamera);
    RequestBatch batch({deviceInfo(quick.address())});
    bool everShown = false;
    sigc::connection watching = Glib::signal_timeout().connect(
        [&everShown] {
            everShown = everShown || dialog_asking->get_visible();
            return true;
        },
        10);
    StdoutCapture capture;
    EXPECT_TRUE(askCameras(batch));
    capture.finish();
    watching.disconnect();
    EXPECT_FALSE(everShown);
    EXPECT_EQ(batch.answers(0).at(0).body, "ok");
}

// A press starts an operation and is held back; a release still reaches the widget that saw the
// press which began the wait (a row is selected on the press).
TEST_F(CameraWork, PressesAreHeldBackReleasesGoThrough)
{
    SilentPeer silent(kSilentCamera);
    int presses = 0;
    int releases = 0;
    // Counted where the window first sees them, and kept there.
    sigc::connection seen = window_main->signal_event().connect(
        [&](GdkEvent* event) {
            presses += event->type == GDK_BUTTON_PRESS;
            releases += event->type == GDK_BUTTON_RELEASE;
            return event->type == GDK_BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE;
        },
        false);
    RequestBatch batch({deviceInfo(silent.address())});
    Glib::signal_timeout().connect_once(
        [] {
            deliverToMainWindow(GDK_BUTTON_PRESS);
            deliverToMainWindow(GDK_BUTTON_RELEASE);
            Glib::signal_timeout().connect_once([] { button_cancel_asking->clicked(); }, 200);
        },
        100);
    StdoutCapture capture;
    EXPECT_FALSE(askCameras(batch));
    capture.finish();
    EXPECT_EQ(presses, 0) << "a press reached the window while cameras were asked";
    EXPECT_EQ(releases, 1);

    deliverToMainWindow(GDK_BUTTON_PRESS);
    EXPECT_TRUE(run_until([&presses] { return presses == 1; }, 2s)) << "the input was not given back";
    seen.disconnect();
}

// A camera that gives no HTTP answer is asked once per action: the selection does not go on to
// its DNS view, nor Connect to its settings after the login. One that answers 401 is asked on.
TEST_F(CameraWork, ACameraWithoutAnAnswerIsAskedOnceBySelectionAndByConnect)
{
    CannedHttpServer closing(std::string(), CannedHttpServer::kWebPort, kSilentCamera);
    CannedHttpServer refusing("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
                              CannedHttpServer::kWebPort, kQuickCamera);
    struct Case {
        const char* peer;
        const CannedHttpServer& camera;
        std::size_t bySelection;
        std::size_t byConnect;  // the login, then the selection's views again
    };
    for (const Case& c : {Case{"closes without a word", closing, 1, 1}, Case{"answers 401", refusing, 2, 3}}) {
        SCOPED_TRACE(c.peer);
        refTreeSelection->unselect_all();
        m_camRefTreeModel->clear();
        Gtk::TreeModel::Row row = *m_camRefTreeModel->append();
        row[m_CameraColumns.IP] = c.camera.address();
        row[m_CameraColumns.Username] = "admin";
        row[m_CameraColumns.pw] = "7395";
        row[m_CameraColumns.status] = "Connected";
        row[m_CameraColumns.Mode] = "DHCP";

        StdoutCapture capture;
        refTreeSelection->select(row);
        EXPECT_EQ(c.camera.connections(), c.bySelection);
        entry_camID->set_text("admin");
        entry_camPW->set_text("7395");
        button_connect_cam->clicked();
        const std::string trace = capture.finish();
        EXPECT_EQ(c.camera.connections(), c.bySelection + c.byConnect) << trace;
        EXPECT_EQ(Glib::ustring(row[m_CameraColumns.status]), "Connected") << "the row is as it was";
    }
}
