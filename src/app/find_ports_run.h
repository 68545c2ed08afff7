// The camera page's "Find Ports": which camera hangs on which PoE port, found by switching the
// ports off one at a time, and the list's "Port" column that shows it.
#pragma once

#include <map>
#include <string>

#include <gtkmm/treemodel.h>

#include "network/NetworkConfig.h"

// Driver port of each MAC address the last complete run found; kept for every later scan.
extern std::map<std::string, int> foundPorts;

// Fills the row's "Port" from foundPorts by its MAC as soon as the row has one, so a scan's
// rows show their ports as they come; a camera not found shows none.
void show_found_port(const Gtk::TreeModel::Row& row);

// Sensitive while the list holds a camera and no run is going on.
void update_button_find_ports();

// Asks first; on Yes runs over the ports with the progress dialog, switches every port on
// again, waits for the cameras and rescans.
void on_button_find_ports_clicked(NetworkConfig& nc);

// Cancel, Escape and the window's close request during a run: every port on at once, the
// column as it was.
void on_button_cancel_find_ports_clicked();
bool find_ports_running();

// Escape in the main window during a run cancels it too: the progress dialog is not modal, so
// the key may reach the window instead. True when the key was taken.
bool on_window_main_key_press_event(GdkEventKey* event);
