// The "Save Record…" buttons of the camera and final pages: the installer picks a folder and
// the installation record is written there as a CSV file and a PDF report.
#pragma once

#include <gtkmm.h>

#include <string>

#include "network/NetworkConfig.h"

void on_button_save_record_clicked(NetworkConfig& nc);
void on_button_save_record_final_clicked(NetworkConfig& nc);

// Where the folder chooser opens: the first mounted removable medium, else the home folder.
std::string record_start_folder();

// The folder chooser, in folder mode, with finger-sized buttons; the caller runs it.
std::unique_ptr<Gtk::FileChooserDialog> make_record_folder_chooser();

// Writes both files into the folder and tells the outcome on the page's message label: in red,
// naming the file, when a write failed.
void save_record_to(const std::string& folder, const NetworkConfig& nc, Gtk::Label* message);
