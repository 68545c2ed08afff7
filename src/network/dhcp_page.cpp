#include "network/dhcp_page.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "app/widgets.h"
#include "network/dhcp_config_file.h"
#include "network/dhcp_validation.h"
#include "utils/address.h"

namespace {

constexpr const char* kDhcpConfigPath = "/etc/dhcp/dhcpd.conf";
// Beside the pool's first bound, which a refusal is most often about; the old file still serves.
constexpr const char* kSettingsRefused = "The DHCP server refused these settings";
constexpr const char* kSettingsNotSaved = "The DHCP settings could not be saved";

// The camera interface's netmask as found at start-up; the page shows only its address.
std::string cameraNetmask;

void setDhcpInputsSensitive(bool sensitive)
{
    for (Gtk::Widget* input : std::initializer_list<Gtk::Widget*>{
             entry_startip, entry_endip, spin_users, spin_lease, entry_primarydns,
             entry_secondarydns})
        input->set_sensitive(sensitive);
}

void clearErrorLabels()
{
    for (Gtk::Label* label : {label_startiperror, label_endiperror, label_primarydnserror,
                              label_secondarydnserror})
        label->set_text("");
}

Gtk::Label* errorLabelFor(DhcpFieldCheck::Field field)
{
    switch (field) {
    case DhcpFieldCheck::Field::StartIp: return label_startiperror;
    case DhcpFieldCheck::Field::EndIp: return label_endiperror;
    case DhcpFieldCheck::Field::PrimaryDns: return label_primarydnserror;
    case DhcpFieldCheck::Field::SecondaryDns: return label_secondarydnserror;
    case DhcpFieldCheck::Field::None: break;
    }
    return nullptr;
}

DhcpSettings settingsFromPage(const interfaces_t& camera)
{
    DhcpSettings settings;
    settings.users = spin_users->get_value();
    settings.leaseHours = spin_lease->get_value();
    settings.startIp = entry_startip->get_text();
    settings.endIp = entry_endip->get_text();
    settings.primaryDns = entry_primarydns->get_text();
    settings.secondaryDns = entry_secondarydns->get_text();
    settings.cameraAddress = camera.address;
    settings.cameraNetmask = camera.netmask;
    settings.shownCameraAddress = label_n1addr->get_text();
    return settings;
}

}  // namespace

void init_networkConfig(NetworkConfig& config)
{
    if (config.network2.valid)
        label_n2addr->set_text(config.network2.address);
    if (config.network1.valid) {
        cameraNetmask = config.network1.netmask;
        label_n1addr->set_text(config.network1.address);
        // The installer then types only the last octet of each pool bound.
        const std::string prefix = Utils::omitLastSegment(config.network1.address) + ".";
        entry_startip->set_text(prefix);
        entry_endip->set_text(prefix);
    }
}

void init_dhcp(NetworkConfig& /*config*/)
{
    std::ifstream file(kDhcpConfigPath);
    if (!file) {
        std::cout << "Failed to open " << kDhcpConfigPath << std::endl;
        return;
    }
    std::string line;
    while (std::getline(file, line)) {
        const DhcpLineValues values = readDhcpLine(line);
        if (values.leaseHours)
            spin_lease->set_value(*values.leaseHours);
        if (values.users)
            spin_users->set_value(*values.users);
        if (values.primaryDns)
            entry_primarydns->set_text(*values.primaryDns);
        if (values.secondaryDns)
            entry_secondarydns->set_text(*values.secondaryDns);
    }
    file.close();
    // The switch always starts off, so the inputs start greyed out.
    setDhcpInputsSensitive(false);
    clearErrorLabels();
}

bool apply_dhcp(NetworkConfig& config)
{
    if (!switch_dhcp->get_active())
        return false;
    // Whatever fails, the old file stays and the service is restarted with it; the page says so.
    DhcpFileWrite outcome = DhcpFileWrite::Failed;
    try {
        outcome = replaceDhcpConfig(kDhcpConfigPath,
                                    formatDhcpConfig(settingsFromPage(config.network1)));
    } catch (const std::logic_error&) {
        std::cout << "Failed to write " << kDhcpConfigPath
                  << ": no subnet for the camera interface address \""
                  << config.network1.address << "\"" << std::endl;
    } catch (const std::exception& e) {
        std::cout << "Failed to write " << kDhcpConfigPath << ": " << e.what() << std::endl;
    }
    if (outcome != DhcpFileWrite::Written)
        label_startiperror->set_text(outcome == DhcpFileWrite::Refused ? kSettingsRefused
                                                                        : kSettingsNotSaved);
    return true;
}

void on_switch_dhcp_state_set()
{
    std::cout << "switch_dhcp toggled" << std::endl;
    if (switch_dhcp->get_active()) {
        setDhcpInputsSensitive(true);
    } else {
        setDhcpInputsSensitive(false);
        clearErrorLabels();
    }
}

bool validateDhcpSettings()
{
    clearErrorLabels();
    const DhcpFieldCheck check = checkDhcpSettings(
        switch_dhcp->get_active(), entry_startip->get_text(), entry_endip->get_text(),
        entry_primarydns->get_text(), entry_secondarydns->get_text(), label_n1addr->get_text(),
        cameraNetmask);
    Gtk::Label* label = errorLabelFor(check.field);
    if (!label)
        return true;
    std::cout << check.trace << std::endl;
    label->set_text(check.message);
    return false;
}
