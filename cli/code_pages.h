// The tables behind the tool's code pages.
#pragma once

namespace charset {

// kCodePageHigh[codePage - 1250][byte - 0x80] is the code point of byte in that Windows
// code page; bytes below 0x80 are ASCII in all nine.
extern const char16_t kCodePageHigh[9][128];

} // namespace charset
