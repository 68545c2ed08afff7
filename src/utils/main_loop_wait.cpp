#include "utils/main_loop_wait.h"

namespace Utils {

MainLoopWait::MainLoopWait() : loop_(Glib::MainLoop::create(false)) {}

void MainLoopWait::finish()
{
    finished_ = true;
    loop_->quit();
}

bool MainLoopWait::run(std::chrono::milliseconds limit)
{
    if (finished_)
        return true;
    sigc::connection limitTimer = Glib::signal_timeout().connect(
        [this] {
            loop_->quit();
            return false;
        },
        static_cast<unsigned int>(limit.count()));
    loop_->run();
    limitTimer.disconnect();
    return finished_;
}

}  // namespace Utils
