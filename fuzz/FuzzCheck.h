#pragma once

#include <cstdio>
#include <cstdlib>

// A property that every input must keep: when it does not, the fuzzer stops
// on this input and keeps it as a crash to replay.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
