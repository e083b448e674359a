// What the profile tests expect of the file system they run on.
#include "../platform_traits.h"

// A file held open by anyone, whatever it shares, cannot be replaced until
// it is closed.
const bool readersHoldOffReplacement = true;

const char *const readingNotInherited = "rbN";
