// How a fuzz target reports a broken property: the description on standard error, then an
// abort, which libFuzzer records as a finding together with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace lilan::fuzzing {

inline void requireHeld(const std::string& failure) {
    if (failure.empty()) return;
    std::fprintf(stderr, "property broken: %s\n", failure.c_str());
    std::abort();
}

} // namespace lilan::fuzzing
