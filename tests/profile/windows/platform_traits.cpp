// What the profile tests expect of the file system they run on.
#include "../platform_traits.h"

// A file held open without delete sharing (as the C runtime's fopen and the
// library's own readers hold it) cannot be replaced until it is closed.
const bool readersHoldOffReplacement = true;
