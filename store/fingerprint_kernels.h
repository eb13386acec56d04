// xxHash's XXH3 compiled for wider vectors than the build's baseline, each in a file of its
// own built with that instruction set (fingerprint_avx2.cpp, fingerprint_avx512.cpp).
// fingerprint.cpp calls one only when this processor and its system run it. Every kernel
// gives the same value for the same bytes: only the speed differs. state is an XXH3 state.
#pragma once

#include <stdint.h>

void Xxh3UpdateAvx2(void* state, const void* bytes, uint32_t length);
uint64_t Xxh3OneShotAvx2(const void* bytes, uint32_t length);
void Xxh3UpdateAvx512(void* state, const void* bytes, uint32_t length);
uint64_t Xxh3OneShotAvx512(const void* bytes, uint32_t length);
