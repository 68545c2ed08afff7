// The library traces its working to standard output; a fuzz target sends it nowhere, so that
// millions of runs are not spent formatting text nobody reads.
#pragma once

#include <iostream>
#include <streambuf>

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// Never freed: std::cout is flushed at exit, after static objects are gone.
inline void silenceTraces()
{
    static NullBuffer* const buffer = new NullBuffer;
    std::cout.rdbuf(buffer);
}
