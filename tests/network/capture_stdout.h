// Collects what the code traces to standard output while it is in scope.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

class CaptureStdout {
public:
    CaptureStdout() : saved_(std::cout.rdbuf(captured_.rdbuf())) {}
    ~CaptureStdout() { std::cout.rdbuf(saved_); }
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;

    std::string text() const { return captured_.str(); }
    bool contains(const std::string& line) const
    {
        return ("\n" + text()).find("\n" + line + "\n") != std::string::npos;
    }

private:
    std::ostringstream captured_;
    std::streambuf* saved_;
};
