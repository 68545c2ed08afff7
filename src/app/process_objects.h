// Objects that live for the whole process, constructed before main in the order defined in
// process_objects.cpp and destroyed in reverse order at exit.
#pragma once

#include <gtkmm.h>

#include "discovery/camera_columns.h"
#include "discovery/discovery.h"

extern Discovery disco;
extern Glib::RefPtr<Gtk::Application> app;
extern CameraModelColumns m_CameraColumns;
extern Glib::RefPtr<Gtk::ListStore> m_camRefTreeModel;
extern Glib::RefPtr<Gtk::TreeSelection> refTreeSelection;
extern sigc::connection m_connection_timeout;

extern bool firstPage;   // the welcome page is current
extern bool finalPage;   // the final page is current
extern bool stopScan;    // the installer cancelled the scan progress
