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
// Holds may nest; the first takes the grab, the last gives it back.
int holds = 0;
Utils::MainLoopWait* activeWait = nullptr;

// A close request to the main window is dropped by the toolkit while the input is held, so
// it is seen here first and taken as Cancel.
void closeRequestCancels(GdkEvent* event, gpointer /*data*/)
{
    if (event->type == GDK_DELETE && activeBatch != nullptr && window_main != nullptr &&
        event->any.window == window_main->get_window()->gobj())
        cancelAskingCameras();
    gtk_main_do_event(event);
}

// The toolkit's own handling, as it is when nothing is asked.
void toolkitHandles(GdkEvent* event, gpointer /*data*/)
{
    gtk_main_do_event(event);
}

}  // namespace

HeldInput::HeldInput()
{
    if (holds++ > 0)
        return;
    // Realized though hidden: the toolkit hands the held events to it, and drops them there.
    gtk_widget_realize(GTK_WIDGET(dialog_asking->gobj()));
    dialog_asking->add_modal_grab();
    gdk_event_handler_set(&closeRequestCancels, nullptr, nullptr);
}

HeldInput::~HeldInput()
{
    if (--holds > 0)
        return;
    gdk_event_handler_set(&toolkitHandles, nullptr, nullptr);
    dialog_asking->remove_modal_grab();
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

void askSelectedCameras(const std::function<RequestSequence(const Gtk::TreeModel::Row& row)>& ask,
                        const std::function<void(Gtk::TreeModel::Row& row,
                                                 const std::vector<corvexPacket>& answers)>& apply)
{
    const std::vector<Gtk::TreeModel::Path> selected = refTreeSelection->get_selected_rows();
    std::vector<RequestSequence> sequences;
    for (const Gtk::TreeModel::Path& path : selected)
        sequences.push_back(ask(*m_camRefTreeModel->get_iter(path)));
    RequestBatch batch(std::move(sequences));
    askCameras(batch);
    for (std::size_t i = 0; i < selected.size(); ++i) {
        Gtk::TreeModel::Row row = *m_camRefTreeModel->get_iter(selected[i]);
        if (traceAnswered(batch, i, row[m_CameraColumns.IP]))
            apply(row, batch.answers(i));
    }
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
