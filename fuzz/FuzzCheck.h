#pragma once

#include <cstdlib>

namespace tessaly::fuzz {

// A broken promise ends the run, so libFuzzer keeps the input that broke it.
inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace tessaly::fuzz
