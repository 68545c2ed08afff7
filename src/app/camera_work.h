// The wait while cameras are asked: the window keeps drawing, the installer's input is held so
// that no second camera operation can start, and after half a second a progress dialog says
// how far it got, with a Cancel that ends every outstanding request at once.
#pragma once

#include <gdk/gdk.h>
#include <glibmm/ustring.h>

#include <gtkmm/treemodel.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "camera/request_batch.h"

// Holds the installer's input while something is awaited in the main loop, so that nothing the
// installer can touch starts a second operation meanwhile: from before the progress dialog
// shows, only that dialog takes a press. Escape or a close request to the window meanwhile
// cancels the cameras being asked.
class HeldInput {
public:
    HeldInput();
    ~HeldInput();
    HeldInput(const HeldInput&) = delete;
    HeldInput& operator=(const HeldInput&) = delete;
};

// Runs the batch to its end or to Cancel (its button, Escape or the window's close request);
// false when cancelled.
bool askCameras(RequestBatch& batch);

// Prints the camera's traces in the place of its row; when it was not answered, says that it
// was cancelled and returns false, so the row keeps its earlier contents.
bool traceAnswered(RequestBatch& batch, std::size_t index, const Glib::ustring& address);

// Asks every selected camera side by side what `ask` makes of its row, then hands each camera
// that answered to `apply` with its answers, in list order; a cancelled camera's row stays as it
// was. Returns the rows whose camera gave no answer (cancelled, or its request failed without one),
// so that what follows need not ask them again.
std::vector<Gtk::TreeModel::Path> askSelectedCameras(const std::function<RequestSequence(const Gtk::TreeModel::Row& row)>& ask,
                        const std::function<void(Gtk::TreeModel::Row& row,
                                                 const std::vector<corvexPacket>& answers)>& apply);

// Cameras are being asked right now.
bool askingCameras();

// Cancel of the progress dialog: ends the outstanding requests and the wait.
void cancelAskingCameras();

void on_button_cancel_asking_clicked();
// Escape, wherever the focus is while the input is held, is Cancel.
bool on_dialog_asking_key_press_event(GdkEventKey* event);
// Closing the dialog is Cancel; the dialog stays for the next time.
bool on_dialog_asking_delete_event(GdkEventAny* event);
