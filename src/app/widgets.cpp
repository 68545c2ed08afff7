#include "app/widgets.h"

#include <gtkmm/settings.h>

#include "app/process_objects.h"

Gtk::Window* window_splash = nullptr;
Gtk::Window* window_main = nullptr;
Gtk::TreeView* m_TreeView = nullptr;
Gtk::Label* label_menu2 = nullptr;
Gtk::Label* label_menu3 = nullptr;
Gtk::Label* label_n1addr = nullptr;
Gtk::Label* label_n2addr = nullptr;
Gtk::Label* label_startiperror = nullptr;
Gtk::Label* label_endiperror = nullptr;
Gtk::Label* label_primarydnserror = nullptr;
Gtk::Label* label_secondarydnserror = nullptr;
Gtk::Label* label_ipassignerror = nullptr;
Gtk::Label* label_change_pw_error = nullptr;
Gtk::Label* label_enter_newpw = nullptr;
Gtk::Label* label_confirm_newpw = nullptr;
Gtk::Label* label_scanning = nullptr;
Gtk::Label* label_asking = nullptr;
Gtk::Label* label_record = nullptr;
Gtk::Label* label_record_final = nullptr;
Gtk::Image* image_tooltip = nullptr;
Gtk::Button* button_back = nullptr;
Gtk::Button* button_apply = nullptr;
Gtk::Button* button_ipassign = nullptr;
Gtk::RadioButton* button_rb1_ipassign = nullptr;
Gtk::RadioButton* button_rb2_ipassign = nullptr;
Gtk::Button* button_cancel_ipassign = nullptr;
Gtk::Button* button_apply_ipassign = nullptr;
Gtk::Button* button_connect_cam = nullptr;
Gtk::Button* button_open_register = nullptr;
Gtk::Button* button_cancel_register = nullptr;
Gtk::Button* button_change_password = nullptr;
Gtk::Button* button_rescan = nullptr;
Gtk::Button* button_save_record = nullptr;
Gtk::Button* button_save_record_final = nullptr;
Gtk::Button* button_cancel_scan = nullptr;
Gtk::Button* button_cancel_asking = nullptr;
Gtk::Button* button_apply_no = nullptr;
Gtk::Button* button_apply_yes = nullptr;
Gtk::Button* button_quit_no = nullptr;
Gtk::Button* button_quit_yes = nullptr;
Gtk::Dialog* dialog_ipassign = nullptr;
Gtk::Dialog* dialog_quit = nullptr;
Gtk::Dialog* dialog_apply = nullptr;
Gtk::Dialog* dialog_progress = nullptr;
Gtk::Dialog* dialog_asking = nullptr;
Gtk::Switch* switch_dhcp = nullptr;
Gtk::SpinButton* spin_users = nullptr;
Gtk::SpinButton* spin_lease = nullptr;
Gtk::Entry* entry_camID = nullptr;
Gtk::Entry* entry_camPW = nullptr;
Gtk::Entry* entry_camPW1 = nullptr;
Gtk::Entry* entry_camPW2 = nullptr;
Gtk::Box* box_currpw = nullptr;
Gtk::Box* box_newpw = nullptr;
Gtk::Grid* grid_authenticate = nullptr;
Gtk::Grid* grid_register = nullptr;
Gtk::Entry* entry_camaddr = nullptr;
Gtk::Entry* entry_camnetmask = nullptr;
Gtk::Entry* entry_camgateway = nullptr;
Gtk::Entry* entry_camdns = nullptr;
Gtk::Entry* entry_startip = nullptr;
Gtk::Entry* entry_endip = nullptr;
Gtk::Entry* entry_primarydns = nullptr;
Gtk::Entry* entry_secondarydns = nullptr;
Gtk::Stack* stack_main = nullptr;
Gtk::ProgressBar* progressbar_cam = nullptr;
Gtk::Button* button_find_ports = nullptr;
Gtk::Dialog* dialog_find_ports = nullptr;
Gtk::Dialog* dialog_find_ports_progress = nullptr;
Gtk::Label* label_find_ports_progress = nullptr;
Gtk::ProgressBar* progressbar_find_ports = nullptr;
Gtk::Button* button_cancel_find_ports = nullptr;

template <class Widget>
static void lookUp(const Glib::RefPtr<Gtk::Builder>& builder, const char* id, Widget*& widget,
                   std::vector<std::string>& missing)
{
    // Asking for an absent identifier first keeps the toolkit from warning about it.
    if (builder->get_object(id))
        builder->get_widget(id, widget);
    if (widget == nullptr)
        missing.emplace_back(id);
}

std::vector<std::string> fill_registry(const Glib::RefPtr<Gtk::Builder>& builder)
{
    std::vector<std::string> missing;
    lookUp(builder, "window_splash", window_splash, missing);
    lookUp(builder, "window_main", window_main, missing);
    lookUp(builder, "treeview1", m_TreeView, missing);
    lookUp(builder, "label_menu2", label_menu2, missing);
    lookUp(builder, "label_menu3", label_menu3, missing);
    lookUp(builder, "label_n1addr", label_n1addr, missing);
    lookUp(builder, "label_n2addr", label_n2addr, missing);
    lookUp(builder, "label_startiperror", label_startiperror, missing);
    lookUp(builder, "label_endiperror", label_endiperror, missing);
    lookUp(builder, "label_primarydnserror", label_primarydnserror, missing);
    lookUp(builder, "label_secondarydnserror", label_secondarydnserror, missing);
    lookUp(builder, "label_ipassignerror", label_ipassignerror, missing);
    lookUp(builder, "label_change_pw_error", label_change_pw_error, missing);
    lookUp(builder, "label_enter_newpw", label_enter_newpw, missing);
    lookUp(builder, "label_confirm_newpw", label_confirm_newpw, missing);
    lookUp(builder, "label_scanning", label_scanning, missing);
    lookUp(builder, "label_asking", label_asking, missing);
    lookUp(builder, "label_record", label_record, missing);
    lookUp(builder, "label_record_final", label_record_final, missing);
    lookUp(builder, "image_tooltip", image_tooltip, missing);
    lookUp(builder, "button_back", button_back, missing);
    lookUp(builder, "button_apply", button_apply, missing);
    lookUp(builder, "button_ipassign", button_ipassign, missing);
    lookUp(builder, "button_rb1_ipassign", button_rb1_ipassign, missing);
    lookUp(builder, "button_rb2_ipassign", button_rb2_ipassign, missing);
    lookUp(builder, "button_cancel_ipassign", button_cancel_ipassign, missing);
    lookUp(builder, "button_apply_ipassign", button_apply_ipassign, missing);
    lookUp(builder, "button_connect_cam", button_connect_cam, missing);
    lookUp(builder, "button_open_register", button_open_register, missing);
    lookUp(builder, "button_cancel_register", button_cancel_register, missing);
    lookUp(builder, "button_change_password", button_change_password, missing);
    lookUp(builder, "button_rescan", button_rescan, missing);
    lookUp(builder, "button_save_record", button_save_record, missing);
    lookUp(builder, "button_save_record_final", button_save_record_final, missing);
    lookUp(builder, "button_cancel_scan", button_cancel_scan, missing);
    lookUp(builder, "button_cancel_asking", button_cancel_asking, missing);
    lookUp(builder, "button_apply_no", button_apply_no, missing);
    lookUp(builder, "button_apply_yes", button_apply_yes, missing);
    lookUp(builder, "button_quit_no", button_quit_no, missing);
    lookUp(builder, "button_quit_yes", button_quit_yes, missing);
    lookUp(builder, "dialog_ipassign", dialog_ipassign, missing);
    lookUp(builder, "dialog_quit", dialog_quit, missing);
    lookUp(builder, "dialog_apply", dialog_apply, missing);
    lookUp(builder, "dialog_progress", dialog_progress, missing);
    lookUp(builder, "dialog_asking", dialog_asking, missing);
    lookUp(builder, "switch_dhcp", switch_dhcp, missing);
    lookUp(builder, "spin_users", spin_users, missing);
    lookUp(builder, "spin_lease", spin_lease, missing);
    lookUp(builder, "entry_camID", entry_camID, missing);
    lookUp(builder, "entry_camPW", entry_camPW, missing);
    lookUp(builder, "entry_camPW1", entry_camPW1, missing);
    lookUp(builder, "entry_camPW2", entry_camPW2, missing);
    lookUp(builder, "box_currpw", box_currpw, missing);
    lookUp(builder, "box_newpw", box_newpw, missing);
    lookUp(builder, "grid_authenticate", grid_authenticate, missing);
    lookUp(builder, "grid_register", grid_register, missing);
    lookUp(builder, "entry_camaddr", entry_camaddr, missing);
    lookUp(builder, "entry_camnetmask", entry_camnetmask, missing);
    lookUp(builder, "entry_camgateway", entry_camgateway, missing);
    lookUp(builder, "entry_camdns", entry_camdns, missing);
    lookUp(builder, "entry_startip", entry_startip, missing);
    lookUp(builder, "entry_endip", entry_endip, missing);
    lookUp(builder, "entry_primarydns", entry_primarydns, missing);
    lookUp(builder, "entry_secondarydns", entry_secondarydns, missing);
    lookUp(builder, "stack_main", stack_main, missing);
    lookUp(builder, "progressbar_cam", progressbar_cam, missing);
    lookUp(builder, "button_find_ports", button_find_ports, missing);
    lookUp(builder, "dialog_find_ports", dialog_find_ports, missing);
    lookUp(builder, "dialog_find_ports_progress", dialog_find_ports_progress, missing);
    lookUp(builder, "label_find_ports_progress", label_find_ports_progress, missing);
    lookUp(builder, "progressbar_find_ports", progressbar_find_ports, missing);
    lookUp(builder, "button_cancel_find_ports", button_cancel_find_ports, missing);
    m_camRefTreeModel = Glib::RefPtr<Gtk::ListStore>::cast_dynamic(builder->get_object(kCameraStoreId));
    if (!m_camRefTreeModel)
        missing.emplace_back(kCameraStoreId);
    return missing;
}
void prepare_widgets()
{
    // No transitions: the toolkit leaks a few bytes of style for each frame a transition draws
    // while the wizard waits in the main loop, and the recorder's screen needs none.
    Gtk::Settings::get_default()->property_gtk_enable_animations() = false;
    m_TreeView->set_model(m_camRefTreeModel);
    refTreeSelection = m_TreeView->get_selection();
    m_TreeView->set_tooltip_column(m_CameraColumns.tooltip.index());
    label_enter_newpw->set_text("New\nPassword: ");
    label_confirm_newpw->set_text("Confirm\nPassword: ");
}
