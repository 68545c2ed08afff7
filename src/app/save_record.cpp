#include "app/save_record.h"

#include <giomm/volumemonitor.h>

#include <ctime>
#include <iostream>

#include "app/camera_work.h"
#include "app/process_objects.h"
#include "app/widgets.h"
#include "camera/camera_answers.h"
#include "camera/camera_requests.h"
#include "camera/request_batch.h"
#include "discovery/installation_record.h"
#include "discovery/record_pdf.h"
#include "utils/atomic_file.h"

namespace {

constexpr const char* kFailureColour = "#cccc00000000";
constexpr int kFingerHeight = 56;
constexpr int kFingerWidth = 160;
// Inside the recorder's 1024x600 screen with room for the window manager's frame.
constexpr int kChooserWidth = 900;
constexpr int kChooserHeight = 500;

RecordInterface recordInterface(const char* role, const interfaces_t& net)
{
    return {role, net.name, net.address, net.netmask, net.hwaddr};
}

RecordDhcp recordDhcp()
{
    RecordDhcp dhcp;
    dhcp.on = switch_dhcp->get_active();
    dhcp.poolStart = entry_startip->get_text();
    dhcp.poolEnd = entry_endip->get_text();
    dhcp.clients = spin_users->get_value_as_int();
    dhcp.leaseHours = spin_lease->get_value_as_int();
    for (const Gtk::Entry* entry : {entry_primarydns, entry_secondarydns})
        if (!entry->get_text().empty())
            dhcp.dnsServers.push_back(entry->get_text());
    return dhcp;
}

// The row as the list shows it.
RecordCamera recordCamera(const Gtk::TreeModel::Row& row)
{
    RecordCamera camera;
    camera.number = std::to_string(static_cast<int>(row[m_CameraColumns.c1]));
    camera.model = Glib::ustring(row[m_CameraColumns.model]);
    camera.status = Glib::ustring(row[m_CameraColumns.status]);
    camera.mode = Glib::ustring(row[m_CameraColumns.Mode]);
    camera.address = Glib::ustring(row[m_CameraColumns.IP]);
    camera.mac = Glib::ustring(row[m_CameraColumns.MAC]);
    camera.firmware = Glib::ustring(row[m_CameraColumns.Firmware]);
    camera.port = Glib::ustring(row[m_CameraColumns.port]);
    return camera;
}

// A connected camera is asked for its interface with the row's login, then, when that is
// accepted, for its DNS server; the others are asked nothing. The login stays out of the record.
RequestSequence addressSettingsSequence(const Gtk::TreeModel::Row& row)
{
    if (Glib::ustring(row[m_CameraColumns.status]) != "Connected")
        return {};
    return addressSettingsViews(row[m_CameraColumns.IP], row[m_CameraColumns.Username], row[m_CameraColumns.pw],
                                true);
}

// Every camera is asked side by side; one that did not answer (cancelled) keeps its mask,
// gateway and DNS server empty, as a camera that is not connected.
InstallationRecord currentRecord(const NetworkConfig& nc, const std::tm& now)
{
    InstallationRecord record;
    record.hostName = Glib::get_host_name();
    record.when = recordTime(now);
    record.interfaces = {recordInterface("Camera network", nc.network1),
                         recordInterface("Site network", nc.network2)};
    record.dhcp = recordDhcp();
    std::vector<RequestSequence> sequences;
    for (const Gtk::TreeModel::Row& row : m_camRefTreeModel->children()) {
        record.cameras.push_back(recordCamera(row));
        sequences.push_back(addressSettingsSequence(row));
    }
    RequestBatch batch(std::move(sequences));
    askCameras(batch);
    for (std::size_t i = 0; i < record.cameras.size(); ++i) {
        RecordCamera& camera = record.cameras[i];
        if (!traceAnswered(batch, i, camera.address))
            continue;
        const std::vector<corvexPacket>& answers = batch.answers(i);
        if (answers.size() < 2)
            continue;
        const AddressSettings settings = readAddressSettings(answers.at(0).body, answers.at(1).body);
        camera.netmask = settings.netmask.value_or("");
        camera.gateway = settings.gateway.value_or("");
        camera.dns = settings.dns.value_or("");
    }
    return record;
}

void tell(Gtk::Label* message, const std::string& text, bool failed)
{
    if (failed)
        message->override_color(Gdk::RGBA(kFailureColour), Gtk::STATE_FLAG_NORMAL);
    else
        message->unset_color(Gtk::STATE_FLAG_NORMAL);
    message->set_text(text);
    // The label is cut to fit the screen; the whole text stays at hand.
    message->set_tooltip_text(text);
}

void saveFromPage(const NetworkConfig& nc, Gtk::Label* message)
{
    message->set_text("");
    std::unique_ptr<Gtk::FileChooserDialog> chooser = make_record_folder_chooser();
    const int response = chooser->run();
    std::string folder = chooser->get_filename();
    if (folder.empty())
        folder = chooser->get_current_folder();
    chooser->hide();
    if (response == Gtk::RESPONSE_ACCEPT && !folder.empty())
        save_record_to(folder, nc, message);
}

}  // namespace

std::string record_start_folder()
{
    for (const Glib::RefPtr<Gio::Mount>& mount : Gio::VolumeMonitor::get()->get_mounts()) {
        const Glib::RefPtr<Gio::Drive> drive = mount->get_drive();
        const Glib::RefPtr<Gio::File> root = mount->get_root();
        // A USB stick's drive is removable; a card reader's media is.
        if (drive && (drive->is_removable() || drive->is_media_removable()) && root &&
            !root->get_path().empty())
            return root->get_path();
    }
    return Glib::get_home_dir();
}

std::unique_ptr<Gtk::FileChooserDialog> make_record_folder_chooser()
{
    auto chooser = std::make_unique<Gtk::FileChooserDialog>(*window_main, "Save the Installation Record",
                                                            Gtk::FILE_CHOOSER_ACTION_SELECT_FOLDER);
    for (Gtk::Button* button : {chooser->add_button("Cancel", Gtk::RESPONSE_CANCEL),
                                chooser->add_button("Save Here", Gtk::RESPONSE_ACCEPT)})
        button->set_size_request(kFingerWidth, kFingerHeight);
    chooser->set_default_response(Gtk::RESPONSE_ACCEPT);
    chooser->set_create_folders(true);
    // The chooser sizes itself from the toolkit's remembered size when shown; the screen wins.
    Gtk::FileChooserDialog* shown = chooser.get();
    chooser->signal_show().connect([shown] { shown->resize(kChooserWidth, kChooserHeight); });
    chooser->set_current_folder(record_start_folder());
    return chooser;
}

void save_record_to(const std::string& folder, const NetworkConfig& nc, Gtk::Label* message)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const InstallationRecord record = currentRecord(nc, local);
    const RecordFileNames names = recordFileNames(record.hostName, local);
    std::cout << "save record: " << folder << std::endl;

    const std::pair<std::string, std::string> files[] = {{names.csv, recordCsv(record.cameras)},
                                                         {names.pdf, recordPdf(record)}};
    for (const auto& [name, text] : files) {
        if (const std::optional<std::string> failure = Utils::writeFileAtomically(folder, name, text)) {
            std::cout << "save record failed: " << name << ": " << *failure << std::endl;
            tell(message, "Could not save " + name + " in " + folder + " (" + *failure + ").", true);
            return;
        }
    }
    tell(message, "Saved " + names.csv + " and " + names.pdf + " in " + folder + ".", false);
}

void on_button_save_record_clicked(NetworkConfig& nc)
{
    saveFromPage(nc, label_record);
}

void on_button_save_record_final_clicked(NetworkConfig& nc)
{
    saveFromPage(nc, label_record_final);
}
