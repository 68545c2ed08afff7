// Selecting cameras in the list: the controls below it follow the selected camera.
#pragma once

// Asks each selected camera, with the credentials its row holds, for its address settings and
// fills the connect and address fields; shows the set-password panel for a factory-new camera.
void on_treeview1_selection_changed();
