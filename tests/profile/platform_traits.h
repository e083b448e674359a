// Differences of the file systems the profile tests run on, which the tests
// of both builds take into account; each is defined in the platform's
// folder.
#pragma once

// Whether a reader of a file keeps it from being replaced for a while, so
// that a write-back can fail through all of its attempts when others read
// the file again and again.
extern const bool readersHoldOffReplacement;

// The fopen mode that reads a file through a handle the processes this one
// starts do not inherit: an inherited handle would hold the file for the
// child's whole life.
extern const char *const readingNotInherited;
