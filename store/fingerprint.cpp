#include "fingerprint.h"

// xxHash, compiled into this file alone: every routine it defines is static here, so nothing
// is linked from a library and the heap routines it also defines (XXH3_createState) are
// never used, and so never emitted.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "fingerprint_kernels.h"

static_assert(sizeof(XXH3_state_t) <= sizeof(((Fingerprint*)0)->state),
              "the XXH3 state must fit in a Fingerprint");
static_assert(alignof(XXH3_state_t) <= alignof(Fingerprint), "the XXH3 state needs a stricter alignment");

// -1 until the first fingerprint picks the widest kernel this processor runs.
static int kernelInUse = -1;

int FingerprintKernelsAvailable()
{
    int widest = kFingerprintBaseline;
#if defined(KESTAL_FINGERPRINT_KERNELS)
    // The compiler's check asks the processor and also whether the system saves the wide
    // registers on a task switch; either missing means the kernel must not run.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        widest = kFingerprintAvx2;
    if (__builtin_cpu_supports("avx512f"))
        widest = kFingerprintAvx512;
#endif
    return widest;
}

int UseFingerprintKernel(int kernel)
{
    int widest = FingerprintKernelsAvailable();
    kernelInUse = kernel < 0 || kernel > widest ? widest : kernel;
    return kernelInUse;
}

static int Kernel()
{
    if (kernelInUse < 0)
        UseFingerprintKernel(-1);
    return kernelInUse;
}

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
    switch (Kernel()) {
#if defined(KESTAL_FINGERPRINT_KERNELS)
    case kFingerprintAvx512:
        Xxh3UpdateAvx512(f->state, bytes, length);
        return;
    case kFingerprintAvx2:
        Xxh3UpdateAvx2(f->state, bytes, length);
        return;
#endif
    default:
        XXH3_64bits_update(StateOf(f), bytes, length);
    }
}

uint64_t FinishFingerprint(const Fingerprint* f)
{
    // What is left is under one block: the baseline kernel serves. The digest leaves the
    // state as it was, so more bytes may still follow.
    return XXH3_64bits_digest(reinterpret_cast<const XXH3_state_t*>(f->state));
}

// The streaming routines serve here too: xxHash's one-shot routine would be as fast, and as
// much code again.
uint64_t FingerprintOf(const void* bytes, uint32_t length)
{
    Fingerprint f;
    StartFingerprint(&f);
    AddToFingerprint(&f, bytes, length);
    return FinishFingerprint(&f);
}
