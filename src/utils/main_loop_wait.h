// Waiting for something without stopping the window: the wait runs the main loop.
#pragma once

#include <chrono>

#include <glibmm/main.h>

namespace Utils {

// A wait that keeps the default main context running, as a modal dialog's run does, so the
// window draws and answers while a camera, a command or a socket is awaited. The awaited
// thing's own source (a socket or child watch, a transfer's timer) calls finish(); run()
// returns when it has, or when the limit passes first. One object is one wait; waits may nest.
class MainLoopWait {
public:
    MainLoopWait();
    MainLoopWait(const MainLoopWait&) = delete;
    MainLoopWait& operator=(const MainLoopWait&) = delete;

    // Ends the wait; called from a source's callback, or before run() to make it return at once.
    void finish();
    bool finished() const { return finished_; }

    // Runs the main loop until finish() or the limit; true when finished.
    bool run(std::chrono::milliseconds limit);

private:
    Glib::RefPtr<Glib::MainLoop> loop_;
    bool finished_ = false;
};

}  // namespace Utils
