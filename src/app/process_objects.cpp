#include "app/process_objects.h"

// Definition order is construction order.
Discovery disco;
Glib::RefPtr<Gtk::Application> app = Gtk::Application::create("org.gtkmm.example");
CameraModelColumns m_CameraColumns;
Glib::RefPtr<Gtk::ListStore> m_camRefTreeModel;
Glib::RefPtr<Gtk::TreeSelection> refTreeSelection;
sigc::connection m_connection_timeout;

bool firstPage = false;
bool finalPage = false;
bool stopScan = false;
