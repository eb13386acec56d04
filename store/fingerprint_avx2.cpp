// XXH3 for AVX2: this file alone is compiled for it (see CMakeLists.txt).
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "fingerprint_kernels.h"

void Xxh3UpdateAvx2(void* state, const void* bytes, uint32_t length)
{
    XXH3_64bits_update(static_cast<XXH3_state_t*>(state), bytes, length);
}
