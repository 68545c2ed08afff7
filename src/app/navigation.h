// Moving through the wizard's four pages, the header's step marker and the quit dialog.
#pragma once

#include <gtkmm.h>

#include "network/NetworkConfig.h"

// Page positions in stack_main.
enum WizardPage { kWelcomePage = 0, kNetworkPage = 1, kCameraPage = 2, kFinalPage = 3 };

void init_label_menu();
void change_label_menu(Gtk::Widget* page, NetworkConfig& nc);

void on_button_apply_clicked(NetworkConfig& nc);
void on_button_apply_yes_clicked(NetworkConfig& nc);
void on_button_apply_no_clicked();
void on_button_back_clicked(NetworkConfig& nc);

bool on_window_main_destroy_event(GdkEventAny* event);
void on_button_quit_no_clicked();
void on_button_quit_yes_clicked();
