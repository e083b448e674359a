// How the Linux registry compares names of keys and values. Names are UTF-8
// text compared without regard to case, as the registry compares its UTF-16
// names: unit by unit, each folded to lower case by the case table (the
// upper/lower pairs of Unicode's simple case mappings within the BMP).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace posix_registry {

// Upper-case units first, first + step, ... last fold to themselves plus
// distance. Generated into registry_case_table.cpp.
struct CaseRun {
  char16_t first;
  char16_t last;
  std::uint8_t step;
  std::int32_t distance;
};
extern const CaseRun caseRuns[];
extern const std::size_t caseRunCount;

// The unit's lower case, or the unit itself.
char16_t FoldUnit(char16_t unit);

// The name's key: equal keys are one name, and names list in the order of
// their keys (bytewise). A UTF-8 name gives the big-endian bytes of its folded
// UTF-16 units, so names order as their folded UTF-16 texts do, surrogate
// pairs (characters beyond the BMP) included and not folded. A name that is
// not UTF-8 folds its ASCII letters only; each other byte B stands as the lone
// unit 0xDC00 + B, which no UTF-8 name gives. The keys are stored: changing
// them needs a migration of the database.
std::string NameKey(const std::string &name);

} // namespace posix_registry
