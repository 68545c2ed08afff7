#include "app/scan_progress.h"

#include <iostream>

#include "app/process_objects.h"
#include "app/widgets.h"
#include "discovery/camera_list.h"

namespace {

constexpr double kStep = 0.05;
// Cancel goes grey for the last two steps: the scan is about to start and cannot be stopped.
constexpr double kCancelClosesAbove = 0.9;
constexpr double kCancelClosesBelow = 0.98;

}  // namespace

void init_progressbar_time()
{
    progressbar_cam->show();
    progressbar_cam->set_fraction(0.0);
    button_cancel_scan->set_sensitive(true);
    label_scanning->set_text("Scanning...");
    dialog_progress->set_sensitive(true);
    stopScan = false;
}

bool on_progressbar_timeout(std::string broadcastAddress)
{
    const double next = progressbar_cam->get_fraction() + kStep;
    if (stopScan)
        return false;
    if (next > 1.0) {
        init_treeview1(broadcastAddress);
        dialog_progress->hide();
        return false;
    }
    if (next > kCancelClosesAbove && next < kCancelClosesBelow)
        button_cancel_scan->set_sensitive(false);
    progressbar_cam->set_fraction(next);
    return true;
}

void on_button_cancel_scan_clicked()
{
    stopScan = true;
    // Ended now, not at its next tick: a new run clears stopScan and must not revive this one.
    m_connection_timeout.disconnect();
    std::cout << "cancel scan!" << std::endl;
    dialog_progress->hide();
}

void run_scan_progress(const std::string& broadcastAddress, unsigned int tickMilliseconds)
{
    init_progressbar_time();
    m_connection_timeout = Glib::signal_timeout().connect(
        sigc::bind(sigc::ptr_fun(&on_progressbar_timeout), broadcastAddress), tickMilliseconds);
    dialog_progress->run();
    // Escape in the last seconds, while Cancel is grey, does nothing: the scan is about to start.
    while (dialog_progress->get_visible() && !button_cancel_scan->get_sensitive() && !stopScan)
        dialog_progress->run();
    // Escape ends the run without Cancel; the countdown must not go on behind a hidden dialog.
    if (dialog_progress->get_visible())
        on_button_cancel_scan_clicked();
    std::cout << "broadcast_addr=" << broadcastAddress << std::endl;
}
