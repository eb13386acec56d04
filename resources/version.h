// The version of Password Kestal and kestal-tool, in one place: the version record of
// kestal.rc, the About box, kestal-tool --version and the name of the release archive.
// Kept free of anything the resource compiler cannot read.
#ifndef KESTAL_VERSION_H
#define KESTAL_VERSION_H

#define KESTAL_VERSION_NUMBERS 1, 1, 0, 0
#define KESTAL_VERSION_TEXT "1.1.0"

#endif
