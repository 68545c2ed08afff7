// Selecting cameras in the list: the controls below it follow the selected camera.
#pragma once

#include <gtkmm/treepath.h>

#include <vector>

// Asks each selected camera, with the credentials its row holds, for its address settings and
// fills the connect and address fields; shows the set-password panel for a factory-new camera.
void on_treeview1_selection_changed();

// The same for rows just asked, except that the rows whose camera gave no answer then are not
// asked again: they count as a camera that failed to answer.
void showSelectedCameras(const std::vector<Gtk::TreeModel::Path>& unanswered);
