// Pieces both bench-peers drivers share: the miss marker and the untimed walk
// over a cached file's records.
#pragma once

#include "profile/profile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace peer_driver {

// A default that no value of a well-formed file can equal, so that a miss is
// told from an empty value.
inline constexpr char Missing[] = "\x01<missing>";
inline constexpr std::uint32_t MissingLength = sizeof Missing - 1;

// Names and values in file order, straight from the records. Only the
// untimed checksums and the choice of update targets use it: through the
// indexed calls the walk would cost n^2 on a wide section and only slow the
// untimed part down.
template <class S, class E>
void WalkRecords(const ProfileFile *file, S &&on_section, E &&on_entry) {
  for (const ProfileSection *s = file->firstSection; s != nullptr; s = s->next) {
    on_section(s->name, static_cast<std::size_t>(s->nameLength));
    for (const ProfileEntry *e = s->firstEntry; e != nullptr; e = e->next) {
      on_entry(e->name, static_cast<std::size_t>(e->nameLength), e->value, std::strlen(e->value));
    }
  }
}

} // namespace peer_driver
