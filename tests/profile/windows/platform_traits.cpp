// What the profile tests expect of the file system they run on.
#include "../platform_traits.h"

// A file held open by anyone cannot be replaced until it is closed (under
// Wine whatever the holder shares).
const bool readersHoldOffReplacement = true;

const char *const readingNotInherited = "rbN";
