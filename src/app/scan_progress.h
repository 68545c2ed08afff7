// The modal progress dialog that counts down to a camera scan, and the timer that drives it.
#pragma once

#include <string>

// Ticks of the countdown: after the PoE power cycle the cameras need about a minute to boot;
// a Rescan only waits for the dialog to show.
inline constexpr unsigned int kEntryScanTickMs = 3000;
inline constexpr unsigned int kRescanTickMs = 100;

// Prepares the dialog for a new run: empty bar, "Scanning...", Cancel available.
void init_progressbar_time();

// One tick: moves the bar by 0.05 and runs the scan once the bar has passed its end.
// True keeps the timer.
bool on_progressbar_timeout(std::string broadcastAddress);

void on_button_cancel_scan_clicked();

// Starts the timer and runs the dialog until the scan has run or the installer cancelled.
void run_scan_progress(const std::string& broadcastAddress, unsigned int tickMilliseconds);
