// Collects everything the process writes to standard output (iostreams and stdio alike)
// while it lives, by pointing descriptor 1 at a temporary file. When it ends, the text is
// passed on to the standard output it replaced, so an enclosing capture still sees it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

class StdoutCapture {
public:
    StdoutCapture()
    {
        std::cout.flush();
        std::fflush(stdout);
        char path[] = "/tmp/velnor-stdout-XXXXXX";
        file_ = mkstemp(path);
        path_ = path;
        saved_ = dup(STDOUT_FILENO);
        dup2(file_, STDOUT_FILENO);
    }

    ~StdoutCapture()
    {
        restore();
        unlink(path_.c_str());
    }

    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Ends the capture, so that test failures reach the terminal again, and returns it all;
    // passOn false keeps the text back from the standard output it replaced.
    std::string finish(bool passOn = true)
    {
        const std::string all = text();
        restore(passOn);
        return all;
    }

    // Whether one whole line of what was written so far equals the given text.
    bool contains(const std::string& line) const
    {
        return ("\n" + text()).find("\n" + line + "\n") != std::string::npos;
    }

    // Everything written so far; the capture goes on.
    std::string text() const
    {
        std::cout.flush();
        std::fflush(stdout);
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }

private:
    void restore(bool passOn = true)
    {
        if (saved_ < 0)
            return;
        const std::string all = text();
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        close(file_);
        saved_ = -1;
        for (std::size_t done = 0; passOn && done < all.size();) {
            const ssize_t written = write(STDOUT_FILENO, all.data() + done, all.size() - done);
            if (written <= 0)
                break;
            done += static_cast<std::size_t>(written);
        }
    }

    int file_ = -1;
    int saved_ = -1;
    std::string path_;
};
