// xxHash's XXH3 compiled for wider vectors than the build's baseline, each in a file of its
// own built with that instruction set (fingerprint_avx2.cpp, fingerprint_avx512.cpp).
// fingerprint.cpp feeds the bytes through one only when this processor and its system run
// it. Every kernel leaves the same state for the same bytes: only the speed differs. state
// is an XXH3 state; starting and finishing it is the baseline's work.
#pragma once

#include <stdint.h>

void Xxh3UpdateAvx2(void* state, const void* bytes, uint32_t length);
void Xxh3UpdateAvx512(void* state, const void* bytes, uint32_t length);
