#include "app/handlers.h"

#include "app/camera_work.h"
#include "app/find_ports_run.h"
#include "app/keyboard.h"
#include "app/navigation.h"
#include "app/process_objects.h"
#include "app/save_record.h"
#include "app/scan_progress.h"
#include "app/widgets.h"
#include "camera/connect_panel.h"
#include "camera/ip_assign_dialog.h"
#include "camera/password_panel.h"
#include "discovery/camera_list.h"
#include "discovery/camera_selection.h"
#include "network/dhcp_page.h"

// In the order of the wizard's connection table; connect runs every handler after the widget's
// own handling, so a focus event still moves the focus as usual.
void connect_handlers(const NetworkConfig& nc)
{
    window_main->signal_delete_event().connect(sigc::ptr_fun(&on_window_main_destroy_event));
    button_back->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_back_clicked), nc));
    button_apply->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_apply_clicked), nc));
    button_ipassign->signal_clicked().connect(sigc::ptr_fun(&on_button_ipassign_clicked));
    button_cancel_ipassign->signal_clicked().connect(sigc::ptr_fun(&on_button_cancel_ipassign_clicked));
    button_apply_ipassign->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_apply_ipassign_clicked), nc));
    button_change_password->signal_clicked().connect(
        sigc::ptr_fun(&on_button_change_password_clicked));
    button_change_password->signal_focus_out_event().connect(
        sigc::ptr_fun(&on_button_change_password_focus_out_event));
    button_rb2_ipassign->signal_clicked().connect(
        sigc::ptr_fun(&on_button_rb1_ipassign_group_changed));
    button_apply_no->signal_clicked().connect(sigc::ptr_fun(&on_button_apply_no_clicked));
    button_apply_yes->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_apply_yes_clicked), nc));
    button_quit_no->signal_clicked().connect(sigc::ptr_fun(&on_button_quit_no_clicked));
    button_quit_yes->signal_clicked().connect(sigc::ptr_fun(&on_button_quit_yes_clicked));
    switch_dhcp->property_active().signal_changed().connect(
        sigc::ptr_fun(&on_switch_dhcp_state_set));
    entry_camPW->signal_focus_in_event().connect(sigc::ptr_fun(&on_entry_camPW_focus_in_event));
    entry_camPW->signal_focus_out_event().connect(sigc::ptr_fun(&on_entry_camPW_focus_out_event));
    button_open_register->signal_clicked().connect(
        sigc::ptr_fun(&on_button_open_register_clicked));
    button_cancel_register->signal_clicked().connect(
        sigc::ptr_fun(&on_button_cancel_register_clicked));
    entry_camPW1->signal_focus_in_event().connect(sigc::ptr_fun(&on_entry_camPW1_focus_in_event));
    entry_camPW1->signal_focus_out_event().connect(sigc::ptr_fun(&on_entry_camPW1_focus_out_event));
    entry_camPW2->signal_focus_in_event().connect(sigc::ptr_fun(&on_entry_camPW2_focus_in_event));
    entry_camPW2->signal_focus_out_event().connect(sigc::ptr_fun(&on_entry_camPW2_focus_out_event));
    button_connect_cam->signal_clicked().connect(sigc::ptr_fun(&on_button_connect_cam_clicked));
    button_rescan->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_rescan_clicked), nc));
    button_save_record->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_save_record_clicked), nc));
    button_save_record_final->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_save_record_final_clicked), nc));
    button_cancel_scan->signal_clicked().connect(sigc::ptr_fun(&on_button_cancel_scan_clicked));
    button_cancel_asking->signal_clicked().connect(sigc::ptr_fun(&on_button_cancel_asking_clicked));
    // Before the dialog's own handling, which would hide it on Escape.
    dialog_asking->signal_key_press_event().connect(sigc::ptr_fun(&on_dialog_asking_key_press_event), false);
    dialog_asking->signal_delete_event().connect(sigc::ptr_fun(&on_dialog_asking_delete_event), false);
    refTreeSelection->signal_changed().connect(sigc::ptr_fun(&on_treeview1_selection_changed));
    button_find_ports->signal_clicked().connect(
        sigc::bind(sigc::ptr_fun(&on_button_find_ports_clicked), nc));
    // Cancel, and Escape, answer the progress dialog; closing it must not destroy it.
    dialog_find_ports_progress->signal_response().connect(
        [](int) { on_button_cancel_find_ports_clicked(); });
    dialog_find_ports_progress->signal_delete_event().connect([](GdkEventAny*) { return true; });
    window_main->signal_key_press_event().connect(sigc::ptr_fun(&on_window_main_key_press_event), false);
    m_camRefTreeModel->signal_row_inserted().connect(
        [](const Gtk::TreeModel::Path&, const Gtk::TreeModel::iterator&) { update_button_find_ports(); });
    m_camRefTreeModel->signal_row_changed().connect(
        [](const Gtk::TreeModel::Path&, const Gtk::TreeModel::iterator& row) { show_found_port(*row); });
    m_camRefTreeModel->signal_row_deleted().connect(
        [](const Gtk::TreeModel::Path&) { update_button_find_ports(); });
}
