// Differences of the file systems the profile tests run on, which the tests
// of both builds take into account; each is defined in the platform's
// folder.
#pragma once

// Whether a reader of a file keeps it from being replaced for a while, so
// that a write-back can fail through all of its attempts when others read
// the file again and again.
extern const bool readersHoldOffReplacement;
