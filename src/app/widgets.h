// The widget registry: one process-wide pointer per widget the code touches, filled once at start-up.
#pragma once

#include <gtkmm.h>

#include <string>
#include <vector>

extern Gtk::Window* window_splash;
extern Gtk::Window* window_main;
extern Gtk::TreeView* m_TreeView;
extern Gtk::Label* label_menu2;
extern Gtk::Label* label_menu3;
extern Gtk::Label* label_n1addr;
extern Gtk::Label* label_n2addr;
extern Gtk::Label* label_startiperror;
extern Gtk::Label* label_endiperror;
extern Gtk::Label* label_primarydnserror;
extern Gtk::Label* label_secondarydnserror;
extern Gtk::Label* label_ipassignerror;
extern Gtk::Label* label_change_pw_error;
extern Gtk::Label* label_enter_newpw;
extern Gtk::Label* label_confirm_newpw;
extern Gtk::Label* label_scanning;
extern Gtk::Label* label_asking;
extern Gtk::Label* label_record;
extern Gtk::Label* label_record_final;
extern Gtk::Image* image_tooltip;
extern Gtk::Button* button_back;
extern Gtk::Button* button_apply;
extern Gtk::Button* button_ipassign;
extern Gtk::RadioButton* button_rb1_ipassign;
extern Gtk::RadioButton* button_rb2_ipassign;
extern Gtk::Button* button_cancel_ipassign;
extern Gtk::Button* button_apply_ipassign;
extern Gtk::Button* button_connect_cam;
extern Gtk::Button* button_open_register;
extern Gtk::Button* button_cancel_register;
extern Gtk::Button* button_change_password;
extern Gtk::Button* button_rescan;
extern Gtk::Button* button_save_record;
extern Gtk::Button* button_save_record_final;
extern Gtk::Button* button_cancel_scan;
extern Gtk::Button* button_cancel_asking;
extern Gtk::Button* button_apply_no;
extern Gtk::Button* button_apply_yes;
extern Gtk::Button* button_quit_no;
extern Gtk::Button* button_quit_yes;
extern Gtk::Dialog* dialog_ipassign;
extern Gtk::Dialog* dialog_quit;
extern Gtk::Dialog* dialog_apply;
extern Gtk::Dialog* dialog_progress;
extern Gtk::Dialog* dialog_asking;
extern Gtk::Switch* switch_dhcp;
extern Gtk::SpinButton* spin_users;
extern Gtk::SpinButton* spin_lease;
extern Gtk::Entry* entry_camID;
extern Gtk::Entry* entry_camPW;
extern Gtk::Entry* entry_camPW1;
extern Gtk::Entry* entry_camPW2;
extern Gtk::Box* box_currpw;
extern Gtk::Box* box_newpw;
extern Gtk::Grid* grid_authenticate;
extern Gtk::Grid* grid_register;
extern Gtk::Entry* entry_camaddr;
extern Gtk::Entry* entry_camnetmask;
extern Gtk::Entry* entry_camgateway;
extern Gtk::Entry* entry_camdns;
extern Gtk::Entry* entry_startip;
extern Gtk::Entry* entry_endip;
extern Gtk::Entry* entry_primarydns;
extern Gtk::Entry* entry_secondarydns;
extern Gtk::Stack* stack_main;
extern Gtk::ProgressBar* progressbar_cam;
extern Gtk::Button* button_find_ports;
extern Gtk::Dialog* dialog_find_ports;
extern Gtk::Dialog* dialog_find_ports_progress;
extern Gtk::Label* label_find_ports_progress;
extern Gtk::ProgressBar* progressbar_find_ports;
extern Gtk::Button* button_cancel_find_ports;

// The definition inside the bundle, and the list store it declares for the camera list.
inline constexpr const char* kDefinitionResource = "/testapp/nvr.glade";
inline constexpr const char* kCameraStoreId = "store";

// Looks every registry widget up by its identifier, in the registry's order, then the store.
// A missing identifier (or one of another class) leaves its pointer null and is returned.
std::vector<std::string> fill_registry(const Glib::RefPtr<Gtk::Builder>& builder);

// Attaches the camera list to its view, keeps the selection and sets the two-line password
// captions; runs right after fill_registry.
void prepare_widgets();
