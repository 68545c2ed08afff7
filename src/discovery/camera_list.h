// The camera list of the camera page: one scan fills it, Rescan asks for a new one.
#pragma once

#include <gtkmm/treemodel.h>

#include <string>

#include "camera/camera_answers.h"
#include "network/NetworkConfig.h"

// One complete scan: empties the list, broadcasts the discovery request and adds a row per
// camera that answered, probed over HTTP for its status and the factory login.
void init_treeview1(std::string broadcastAddress);

void on_button_rescan_clicked(NetworkConfig& nc);

// A camera accepted these credentials: the row keeps them for every later request, and the
// firmware the answer told, if any.
void storeLogin(Gtk::TreeModel::Row& row, const Glib::ustring& user, const Glib::ustring& password,
                const DeviceInfo& login);
