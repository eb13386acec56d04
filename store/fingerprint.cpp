#include "fingerprint.h"

// xxHash, compiled into this file alone: every routine it defines is static here, so nothing
// is linked from a library and the heap routines it also defines (XXH3_createState) are
// never used, and so never emitted.
#define XXH_INLINE_ALL
#include <xxhash.h>

static_assert(sizeof(XXH3_state_t) <= sizeof(((Fingerprint*)0)->state),
              "the XXH3 state must fit in a Fingerprint");
static_assert(alignof(XXH3_state_t) <= alignof(Fingerprint), "the XXH3 state needs a stricter alignment");

static XXH3_state_t* StateOf(Fingerprint* f)
{
    return reinterpret_cast<XXH3_state_t*>(f->state);
}

void StartFingerprint(Fingerprint* f)
{
    XXH3_64bits_reset(StateOf(f)); // fails only for a null state
}

void AddToFingerprint(Fingerprint* f, const void* bytes, uint32_t length)
{
    XXH3_64bits_update(StateOf(f), bytes, length);
}

uint64_t FinishFingerprint(const Fingerprint* f)
{
    // The digest leaves the state as it was, so more bytes may still follow.
    return XXH3_64bits_digest(reinterpret_cast<const XXH3_state_t*>(f->state));
}

// xxHash's one-shot routine gives the streaming value without filling a state first.
uint64_t FingerprintOf(const void* bytes, uint32_t length)
{
    return XXH3_64bits(bytes, length);
}
