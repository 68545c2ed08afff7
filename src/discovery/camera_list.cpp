#include "discovery/camera_list.h"

#include <chrono>
#include <iostream>

#include "app/camera_work.h"
#include "app/process_objects.h"
#include "app/scan_progress.h"
#include "camera/camera_requests.h"
#include "camera/request_batch.h"
#include "discovery/scan_rows.h"
#include "network/camera_network.h"
#include "utils/main_loop_wait.h"

namespace {

// The cameras answer the broadcast within this time; their replies wait in the socket.
constexpr auto kFirstReplyPause = std::chrono::seconds(1);

// A row waiting for its camera's answers, and the address they are asked of.
struct PendingProbe {
    Gtk::TreeModel::iterator row;
    std::string address;
};

// Every row of the scan probed side by side: the status check tells a factory-new camera; the
// factory login, when it still works, connects the row and tells the firmware. The rows are
// filled and traced in list order; a row not answered (cancelled) stays "Not Connected".
void probeCameraRows(const std::vector<PendingProbe>& pendingProbes)
{
    std::vector<RequestSequence> sequences;
    for (const PendingProbe& probe : pendingProbes) {
        const std::string address = probe.address;
        sequences.push_back({
            [address](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
                return prepareStatusCheck(address);
            },
            [address](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
                return prepareCorvexData(kDeviceInfoView, address, kFactoryUser, kFactoryPassword);
            },
        });
    }
    RequestBatch batch(std::move(sequences));
    askCameras(batch);
    for (std::size_t i = 0; i < pendingProbes.size(); ++i) {
        Gtk::TreeModel::Row row = *pendingProbes[i].row;
        if (!traceAnswered(batch, i, pendingProbes[i].address))
            continue;
        const std::vector<corvexPacket>& answers = batch.answers(i);
        row[m_CameraColumns.status] = statusOf(answers.at(0));
        // A camera that gave no answer to its status check was not asked for the login.
        if (answers.size() < 2)
            continue;
        const DeviceInfo login = readDeviceInfo(answers.at(1));
        if (login.accepted)
            storeLogin(row, kFactoryUser, kFactoryPassword, login);
    }
}

// A camera the wizard may not ask keeps its row, with the reason in its status and tooltip;
// the others are probed once every reply is in.
void addCameraRow(unsigned int number, const std::string& model, const std::string& mode,
                  const std::string& address, const std::string& mac, const std::string& firmware,
                  std::vector<PendingProbe>& pendingProbes)
{
    const Gtk::TreeModel::iterator added = m_camRefTreeModel->append();
    Gtk::TreeModel::Row row = *added;
    row[m_CameraColumns.c1] = static_cast<int>(number);
    row[m_CameraColumns.model] = mendUtf8(model);
    row[m_CameraColumns.Mode] = mode;
    row[m_CameraColumns.IP] = mendUtf8(address);
    row[m_CameraColumns.MAC] = mendUtf8(mac);
    row[m_CameraColumns.Firmware] = firmware;

    const CameraPlace place = placeOf(address, cameraNetwork());
    if (place != CameraPlace::Inside) {
        row[m_CameraColumns.status] = place == CameraPlace::NoAddress ? kNoAddressStatus : kOtherNetworkStatus;
        // The tree view reads its tooltips as markup.
        row[m_CameraColumns.tooltip] =
            Glib::Markup::escape_text(mendUtf8(placeTooltip(place, address, cameraNetwork())));
        return;
    }
    row[m_CameraColumns.status] = "Not Connected";
    pendingProbes.push_back({added, address});
}

}  // namespace

void init_treeview1(std::string broadcastAddress)
{
    std::cout << "netinfo:" << broadcastAddress << std::endl;
    refTreeSelection->unselect_all();  // removing selected rows would run the selection, asking their cameras
    m_camRefTreeModel->clear();
    if (!disco.SendBroadcastPacket(broadcastAddress.c_str())) {
        std::cout << "--------Ending Broadcast-------- \ncameras=0" << std::endl;
        return;
    }
    // The window keeps drawing and answering while the replies gather.
    Utils::MainLoopWait pause;
    pause.run(kFirstReplyPause);

    unsigned int number = 1;
    int replies = 0;
    std::vector<PendingProbe> pendingProbes;
    ReplySequence sequence;
    std::string model, status, mode, address, mac, firmware;
    while (disco.ReceiveDiscoveryMessage(model, status, mode, address, mac, firmware)) {
        if (sequence.addsRow(address, mac))
            addCameraRow(number++, model, mode, address, mac, firmware, pendingProbes);
        ++replies;
    }
    probeCameraRows(pendingProbes);
    std::cout << "--------Ending Broadcast-------- \ncameras=" << replies << std::endl;
    disco.CloseSocket();
}

void storeLogin(Gtk::TreeModel::Row& row, const Glib::ustring& user, const Glib::ustring& password,
                const DeviceInfo& login)
{
    row[m_CameraColumns.status] = "Connected";
    row[m_CameraColumns.Username] = user;
    row[m_CameraColumns.pw] = password;
    if (login.firmware)
        row[m_CameraColumns.Firmware] = mendUtf8(*login.firmware);
}

void on_button_rescan_clicked(NetworkConfig& nc)
{
    std::cout << "rescan clicked" << std::endl;
    std::cout << "broadcast_addr=" << nc.network1.broadcast << std::endl;
    run_scan_progress(nc.network1.broadcast, kRescanTickMs);
}
