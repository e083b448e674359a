// Compiles the platform header on its own on every build, so that it stays
// self-contained. The Windows build takes every platform function from the
// system; the posix layer implements them in src/platform/posix.
#include "platform/platform.h"
