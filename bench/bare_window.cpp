// The reference for the start-up figures: an empty gtkmm-3 window of the splash's size that
// stays until it is ended, so that its first frame and its peak memory can be taken like the wizard's.
#include <gtkmm.h>

int main(int argc, char* argv[])
{
    constexpr int kWidth = 1024;
    constexpr int kHeight = 600;
    auto app = Gtk::Application::create(argc, argv, "com.velnor.BenchBareWindow");
    Gtk::Window window;
    window.set_default_size(kWidth, kHeight);
    return app->run(window);
}
