#include "app/navigation.h"

#include <ctime>
#include <iostream>

#include "app/camera_page_entry.h"
#include "app/find_ports_run.h"
#include "app/installation_stamp.h"
#include "app/process_objects.h"
#include "app/widgets.h"
#include "network/dhcp_page.h"

namespace {

constexpr const char* kHighlight = "#f5f579790000";
constexpr const char* kPlain = "#ffffff";

void colourHeader(const char* network, const char* cameras)
{
    label_menu2->override_color(Gdk::RGBA(network), Gtk::STATE_FLAG_NORMAL);
    label_menu3->override_color(Gdk::RGBA(cameras), Gtk::STATE_FLAG_NORMAL);
}

}  // namespace

void init_label_menu()
{
    colourHeader(kPlain, kPlain);
    firstPage = true;
}

void change_label_menu(Gtk::Widget* page, NetworkConfig& nc)
{
    const int index = stack_main->child_property_position(*page);
    button_apply->set_visible(true);
    firstPage = false;
    finalPage = false;
    switch (index) {
    case kWelcomePage:
        button_back->set_sensitive(false);
        colourHeader(kPlain, kPlain);
        firstPage = true;
        break;
    case kNetworkPage:
        colourHeader(kHighlight, kPlain);
        break;
    case kCameraPage:
        colourHeader(kPlain, kHighlight);
        enter_camera_page(nc);
        break;
    case kFinalPage:
        colourHeader(kPlain, kPlain);
        finalPage = true;
        break;
    default:
        break;
    }
}

void on_button_apply_clicked(NetworkConfig& nc)
{
    if (firstPage) {
        on_button_apply_yes_clicked(nc);
        return;
    }
    // Its buttons act through their own handlers and hide it, which ends the run. Escape ends
    // the run too, without a button: the dialog must not stay behind, answered by nobody.
    dialog_apply->run();
    dialog_apply->hide();
}

void on_button_apply_yes_clicked(NetworkConfig& nc)
{
    dialog_apply->hide();
    if (finalPage) {
        // The installation is done: from now on the session's autostart leaves the wizard to
        // the menu. A stamp that cannot be written is traced and changes nothing else.
        if (writeInstallationStamp(kInstallationStamp, std::time(nullptr)))
            std::cout << "Installation completed: " << kInstallationStamp << std::endl;
        // With no window left the application ends.
        window_main->hide();
        return;
    }

    const std::vector<Gtk::Widget*> pages = stack_main->get_children();
    const Gtk::Widget* current = stack_main->get_visible_child();
    std::size_t index = 0;
    while (index < pages.size() && pages[index] != current)
        ++index;
    const std::size_t target = index + 1;
    if (target >= pages.size())
        return;

    if (target == kCameraPage) {
        if (!validateDhcpSettings()) {
            std::cout << "---Invalid dhcp" << std::endl;
            return;
        }
        std::cout << "---Valid dhcp" << std::endl;
    }
    stack_main->set_visible_child(*pages[target]);
    button_back->set_sensitive(true);
    change_label_menu(pages[target], nc);
}

void on_button_apply_no_clicked()
{
    dialog_apply->hide();
}

void on_button_back_clicked(NetworkConfig& nc)
{
    const std::vector<Gtk::Widget*> pages = stack_main->get_children();
    const Gtk::Widget* current = stack_main->get_visible_child();
    std::size_t index = 0;
    while (index < pages.size() && pages[index] != current)
        ++index;
    if (index == 0 || index >= pages.size())
        return;
    Gtk::Widget* previous = pages[index - 1];
    stack_main->set_visible_child(*previous);
    change_label_menu(previous, nc);
}

bool on_window_main_destroy_event(GdkEventAny* /*event*/)
{
    // During Find Ports the close request cancels the run: every port on, nothing asked.
    if (find_ports_running()) {
        on_button_cancel_find_ports_clicked();
        return true;
    }
    dialog_quit->run();
    dialog_quit->hide();  // after Escape, which answers nothing
    std::cout << "Exiting..." << std::endl;
    // The window is closed only by Yes in the dialog, never by the toolkit itself.
    return true;
}

void on_button_quit_no_clicked()
{
    dialog_quit->hide();
}

void on_button_quit_yes_clicked()
{
    dialog_quit->hide();
    window_main->hide();
}
