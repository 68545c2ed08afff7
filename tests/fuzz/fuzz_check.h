// A property the fuzz target holds for every input: when it fails, libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzzCheckFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void(0) : fuzzCheckFailed(#condition, __FILE__, __LINE__))
