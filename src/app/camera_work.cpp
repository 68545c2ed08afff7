#include "app/camera_work.h"

#include <gtk/gtk.h>

#include <chrono>
#include <iostream>

#include "app/process_objects.h"
#include "app/widgets.h"
#include "utils/main_loop_wait.h"

namespace {

using namespace std::chrono_literals;

// Quick answers need no dialog; slower ones show it, so the installer sees why nothing moves.
constexpr unsigned int kShowProgressAfterMs = 500;
// The transfers' own time-outs end every request; this only bounds the wait should one not.
constexpr auto kWaitLimit = 1h;

RequestBatch* activeBatch = nullptr;
Utils::MainLoopWait* activeWait = nullptr;
// Holds may nest; the first sets the filter, the last takes it away.
int holds = 0;

bool inAskingDialog(GdkWindow* window)
{
    GdkWindow* own = dialog_asking->get_window() ? dialog_asking->get_window()->gobj() : nullptr;
    return window != nullptr && own != nullptr && gdk_window_get_toplevel(window) == own;
}

// What the installer starts an operation with: a press of a button, a key, a finger, a wheel.
// Releases and motion still go through, so a press that began the wait (a row's selection
// runs on the press) ends as usual in its widget.
bool startsSomething(const GdkEvent* event)
{
    switch (event->type) {
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
    case GDK_KEY_PRESS:
    case GDK_SCROLL:
    case GDK_TOUCH_BEGIN:
    case GDK_DELETE:
        return true;
    default:
        return false;
    }
}

// While the input is held, only the progress dialog takes what starts something; Escape
// anywhere and the window's close request are its Cancel.
void holdInput(GdkEvent* event, gpointer /*data*/)
{
    if (!startsSomething(event) || inAskingDialog(event->any.window)) {
        gtk_main_do_event(event);
        return;
    }
    const bool closeRequest = event->type == GDK_DELETE;
    const bool escape = event->type == GDK_KEY_PRESS && event->key.keyval == GDK_KEY_Escape;
    if (closeRequest || escape)
        cancelAskingCameras();
}

// The toolkit's own handling, as it is when nothing is asked.
void toolkitHandles(GdkEvent* event, gpointer /*data*/)
{
    gtk_main_do_event(event);
}

}  // namespace

HeldInput::HeldInput()
{
    // Not a grab: a grab would also take the release of the press that began the wait, and
    // the list that saw the press would wait for its release for ever.
    if (holds++ == 0)
        gdk_event_handler_set(&holdInput, nullptr, nullptr);
}

HeldInput::~HeldInput()
{
    if (--holds == 0)
        gdk_event_handler_set(&toolkitHandles, nullptr, nullptr);
}

bool askingCameras()
{
    return activeBatch != nullptr;
}

void cancelAskingCameras()
{
    if (activeBatch == nullptr)
        return;
    std::cout << "cancel asking cameras" << std::endl;
    activeBatch->cancel();
    activeWait->finish();
}

bool askCameras(RequestBatch& batch)
{
    if (activeBatch != nullptr) {
        // Cannot happen while the input is held; should it, the second operation sends nothing.
        std::cout << "cameras are being asked already, nothing sent" << std::endl;
        batch.cancel();
        return false;
    }
    if (batch.size() == 0)
        return true;

    // Held from the start, not from when the dialog shows: a click meanwhile starts nothing.
    HeldInput hold;
    Utils::MainLoopWait wait;
    activeBatch = &batch;
    activeWait = &wait;
    label_asking->set_text(progressText(batch.size(), 0));
    sigc::connection showing = Glib::signal_timeout().connect(
        [] {
            dialog_asking->show();
            return false;
        },
        kShowProgressAfterMs);

    batch.start([&batch, &wait] {
        label_asking->set_text(progressText(batch.size(), batch.answered()));
        if (batch.done())
            wait.finish();
    });
    if (batch.done())
        wait.finish();
    if (!wait.run(kWaitLimit))
        batch.cancel();

    showing.disconnect();
    dialog_asking->hide();
    activeBatch = nullptr;
    activeWait = nullptr;
    return !batch.cancelled();
}

bool traceAnswered(RequestBatch& batch, std::size_t index, const Glib::ustring& address)
{
    std::cout << batch.takeTrace(index) << std::flush;
    if (batch.answered(index))
        return true;
    std::cout << "cancelled, not answered: " << address << std::endl;
    return false;
}

std::vector<Gtk::TreeModel::Path> askSelectedCameras(
    const std::function<RequestSequence(const Gtk::TreeModel::Row& row)>& ask,
    const std::function<void(Gtk::TreeModel::Row& row, const std::vector<corvexPacket>& answers)>& apply)
{
    const std::vector<Gtk::TreeModel::Path> selected = refTreeSelection->get_selected_rows();
    std::vector<RequestSequence> sequences;
    for (const Gtk::TreeModel::Path& path : selected)
        sequences.push_back(ask(*m_camRefTreeModel->get_iter(path)));
    RequestBatch batch(std::move(sequences));
    askCameras(batch);
    std::vector<Gtk::TreeModel::Path> unanswered;
    for (std::size_t i = 0; i < selected.size(); ++i) {
        Gtk::TreeModel::Row row = *m_camRefTreeModel->get_iter(selected[i]);
        if (traceAnswered(batch, i, row[m_CameraColumns.IP]))
            apply(row, batch.answers(i));
        if (!batch.answered(i) || batch.unanswered(i))
            unanswered.push_back(selected[i]);
    }
    return unanswered;
}

void on_button_cancel_asking_clicked()
{
    cancelAskingCameras();
}

bool on_dialog_asking_key_press_event(GdkEventKey* event)
{
    if (event->keyval != GDK_KEY_Escape)
        return false;
    cancelAskingCameras();
    return true;
}

bool on_dialog_asking_delete_event(GdkEventAny* /*event*/)
{
    cancelAskingCameras();
    return true;
}
