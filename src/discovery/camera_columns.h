// Column record of the camera list; its order is the column order of the list store "store".
#pragma once

#include <gtkmm/treemodelcolumn.h>

class CameraModelColumns : public Gtk::TreeModelColumnRecord {
public:
    CameraModelColumns();

    Gtk::TreeModelColumn<int> c1;  // "#": row number, 1 for the first row; int like the store column, so it reads back
    Gtk::TreeModelColumn<Glib::ustring> model;
    // "Connected", "Need Password" or "Not Connected"; "Other Network" and "No Address" for a
    // camera the wizard does not ask, which behave as "Not Connected"
    Gtk::TreeModelColumn<Glib::ustring> status;
    Gtk::TreeModelColumn<Glib::ustring> Mode;     // "Static" or "DHCP"
    Gtk::TreeModelColumn<Glib::ustring> IP;
    Gtk::TreeModelColumn<Glib::ustring> MAC;
    Gtk::TreeModelColumn<Glib::ustring> Firmware;
    Gtk::TreeModelColumn<Glib::ustring> Username; // user name the camera accepted
    Gtk::TreeModelColumn<Glib::ustring> pw;       // password the camera accepted; never shown
    Gtk::TreeModelColumn<Glib::ustring> tooltip;  // markup: why the camera is not asked; unset otherwise
    Gtk::TreeModelColumn<Glib::ustring> port;     // "Port", shown after "#": from "1"; empty until found
};
