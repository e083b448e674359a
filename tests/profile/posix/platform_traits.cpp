// What the profile tests expect of the file system they run on.
#include "../platform_traits.h"

// A file is replaced by a rename, whoever holds it open.
const bool readersHoldOffReplacement = false;

const char *const readingNotInherited = "rbe";
