// Start-up and shutdown of the wizard.
#include <curl/curl.h>

#include <iostream>

#include "app/handlers.h"
#include "app/header_style.h"
#include "app/navigation.h"
#include "app/process_objects.h"
#include "app/widgets.h"
#include "discovery/poe.h"
#include "network/NetworkConfig.h"
#include "network/camera_network.h"
#include "network/dhcp_page.h"

// Hands over from the splash to the main window; the hold keeps the application from
// quitting in the moment it has no window.
static bool on_timeout()
{
    app->hold();
    window_splash->hide();
    app->remove_window(*window_splash);
    app->add_window(*window_main);
    window_main->show();
    app->release();
    return false;
}

static constexpr unsigned int kSplashMilliseconds = 3000;

int main(int /*argc*/, char* /*argv*/[])
{
    auto builder = Gtk::Builder::create();
    try {
        builder->add_from_resource(kDefinitionResource);
    } catch (const Glib::FileError& ex) {
        std::cerr << "FileError: " << ex.what() << std::endl;
        return 1;
    } catch (const Glib::MarkupError& ex) {
        std::cerr << "MarkupError: " << ex.what() << std::endl;
        return 1;
    } catch (const Gtk::BuilderError& ex) {
        std::cerr << "BuilderError: " << ex.what() << std::endl;
        return 1;
    } catch (const Gio::ResourceError& ex) {
        std::cerr << "ResourceError: " << ex.what() << std::endl;
        return 1;
    }

    // Every handler relies on the registry; a definition without one of its widgets cannot run.
    const auto missing = fill_registry(builder);
    if (!missing.empty()) {
        std::cerr << "BuilderError: the definition has no widget \"" << missing.front() << "\"" << std::endl;
        return 1;
    }
    prepare_widgets();
    apply_header_style();

    NetworkConfig networkConfig(kCameraInterface, kSiteInterface);
    useCameraNetwork(networkConfig.network1);
    init_dhcp(networkConfig);
    init_networkConfig(networkConfig);
    init_label_menu();

    // The window is always there with the bundle's own definition; connecting to nothing would crash.
    if (window_main)
        connect_handlers(networkConfig);

    Glib::signal_timeout().connect(sigc::ptr_fun(&on_timeout), kSplashMilliseconds);
    app->run(*window_splash);

    delete window_splash;
    delete window_main;
    throttle_switchports(1);
    curl_global_cleanup();
    return 0;
}
