#include "app/header_style.h"

#include <gtkmm.h>

// The toolkit's own header is light grey, on which the white step labels would vanish.
static constexpr const char* kHeaderCss =
    "headerbar { background-image: none; background-color: #2b3038; border-color: #1c2026; }";

void apply_header_style()
{
    auto provider = Gtk::CssProvider::create();
    provider->load_from_data(kHeaderCss);
    Gtk::StyleContext::add_provider_for_screen(Gdk::Screen::get_default(), provider,
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}
