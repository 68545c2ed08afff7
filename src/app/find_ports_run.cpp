#include "app/find_ports_run.h"

#include <chrono>
#include <iostream>

#include "app/process_objects.h"
#include "app/widgets.h"
#include "discovery/camera_list.h"
#include "discovery/find_ports.h"
#include "discovery/poe.h"
#include "utils/main_loop_wait.h"

std::map<std::string, int> foundPorts;

namespace {

// Each round listens at most this long: the camera on the port just switched off never answers.
constexpr auto kRoundLimit = std::chrono::milliseconds(2000);
// A camera that has just lost its power takes a moment to fall silent, and a late reply to the
// round before must not land in this one.
constexpr auto kPortOffSettle = std::chrono::milliseconds(300);
// After every port went on again the cameras boot (about a minute) and ask DHCP.
constexpr auto kRestartLimit = std::chrono::seconds(150);
constexpr auto kRestartPoll = std::chrono::milliseconds(1000);

bool running = false;
bool cancelled = false;
// The pause in progress, so that Cancel ends it at once.
Utils::MainLoopWait* pausing = nullptr;

void pause(std::chrono::milliseconds length)
{
    if (cancelled)
        return;
    Utils::MainLoopWait wait;
    pausing = &wait;
    wait.run(length);
    pausing = nullptr;
}

// One request and the replies to it, until every expected camera answered or the round's limit.
ReplyAddresses askCameras(const std::string& broadcastAddress, const MacSet& expected)
{
    if (cancelled || !disco.SendBroadcastPacket(broadcastAddress.c_str()))
        return {};
    ReplyAddresses replies = disco.CollectReplies(expected, kRoundLimit);
    disco.CloseSocket();
    return replies;
}

MacSet listedCameras()
{
    MacSet macs;
    for (const Gtk::TreeModel::Row& row : m_camRefTreeModel->children())
        macs.insert(Glib::ustring(row[m_CameraColumns.MAC]).raw());
    return macs;
}

void showProgress(const std::string& text, double fraction)
{
    label_find_ports_progress->set_text(text);
    progressbar_find_ports->set_fraction(fraction);
}

// Every port off in turn; the search's rounds, or nothing once cancelled.
std::map<std::string, int> searchPorts(const std::string& broadcastAddress, const ReplyAddresses& before)
{
    PortSearch search(macsOf(before));
    for (int port = 0; port < kPoePortCount && !cancelled; ++port) {
        showProgress(portProgressText(port, kPoePortCount), static_cast<double>(port + 1) / (kPoePortCount + 1));
        switch_port(port, 0);
        pause(kPortOffSettle);
        search.addRound(macsOf(askCameras(broadcastAddress, search.expected())));
    }
    return cancelled ? std::map<std::string, int>{} : search.ports();
}

void waitForCameras(const std::string& broadcastAddress, const ReplyAddresses& before)
{
    showProgress("Waiting for the cameras to restart", 1.0);
    const auto deadline = std::chrono::steady_clock::now() + kRestartLimit;
    while (!cancelled && std::chrono::steady_clock::now() < deadline) {
        if (camerasBack(before, askCameras(broadcastAddress, macsOf(before))))
            return;
        pause(kRestartPoll);
    }
    std::cout << "find ports: not every camera is back" << std::endl;
}

}  // namespace

void show_found_port(const Gtk::TreeModel::Row& row)
{
    const auto found = foundPorts.find(Glib::ustring(row[m_CameraColumns.MAC]).raw());
    const Glib::ustring port = found == foundPorts.end() ? "" : portLabel(found->second);
    // Setting the cell changes the row again; then it is the same and nothing more happens.
    if (Glib::ustring(row[m_CameraColumns.port]) != port)
        row[m_CameraColumns.port] = port;
}

void update_button_find_ports()
{
    button_find_ports->set_sensitive(!running && !m_camRefTreeModel->children().empty());
}

bool find_ports_running()
{
    return running;
}

bool on_window_main_key_press_event(GdkEventKey* event)
{
    if (!running || event->keyval != GDK_KEY_Escape)
        return false;
    on_button_cancel_find_ports_clicked();
    return true;
}

void on_button_cancel_find_ports_clicked()
{
    if (!running || cancelled)
        return;
    std::cout << "find ports cancelled" << std::endl;
    cancelled = true;
    throttle_switchports(1);
    disco.StopWaiting();
    if (pausing != nullptr)
        pausing->finish();
}

void on_button_find_ports_clicked(NetworkConfig& nc)
{
    std::cout << "find ports clicked" << std::endl;
    const int answer = dialog_find_ports->run();
    dialog_find_ports->hide();
    if (answer != Gtk::RESPONSE_YES || running)
        return;

    const std::string broadcastAddress = nc.network1.broadcast;
    running = true;
    cancelled = false;
    update_button_find_ports();
    showProgress(portProgressText(0, kPoePortCount), 0.0);
    // The window takes no input meanwhile, but still hears its close request: a modal dialog's
    // grab would drop that request, and it must cancel the run.
    window_main->get_child()->set_sensitive(false);
    dialog_find_ports_progress->present();

    const ReplyAddresses before = askCameras(broadcastAddress, listedCameras());
    std::map<std::string, int> ports;
    // Without a camera that answers there is nothing to find: no port goes off for nothing.
    if (before.empty()) {
        std::cout << "find ports: no camera answered" << std::endl;
    } else {
        ports = searchPorts(broadcastAddress, before);
        // Cancel has switched them on already.
        if (!cancelled) {
            throttle_switchports(1);
            waitForCameras(broadcastAddress, before);
        }
    }
    dialog_find_ports_progress->hide();
    window_main->get_child()->set_sensitive(true);
    running = false;
    update_button_find_ports();
    if (cancelled || before.empty())
        return;

    for (const auto& [mac, port] : ports)
        std::cout << "port " << portLabel(port) << ": " << mac << std::endl;
    foundPorts = ports;
    on_button_rescan_clicked(nc);
}
