#include "app/gui_fixture.h"

#include "app/process_objects.h"

void GuiTest::SetUp()
{
    builder = Gtk::Builder::create_from_resource(kDefinitionResource);
    fill_registry(builder);
    prepare_widgets();
}

void pump_events()
{
    auto context = Glib::MainContext::get_default();
    while (context->pending())
        context->iteration(false);
}

bool run_until(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    auto context = Glib::MainContext::get_default();
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        context->iteration(false);
        if (!context->pending())
            g_usleep(2000);
    }
    return true;
}

void answer_dialog_when_shown(Gtk::Dialog* dialog, Gtk::Button* button,
                              std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    Glib::signal_timeout().connect(
        [dialog, button, end]() {
            if (dialog->get_visible()) {
                button->clicked();
                return false;
            }
            if (std::chrono::steady_clock::now() > end) {
                ADD_FAILURE() << "the dialog was never shown";
                dialog->hide();
                return false;
            }
            return true;
        },
        10);
}
