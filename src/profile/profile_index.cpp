// The indexes beside the lists: sections by name per file, entries by name per
// section. Both are open-addressing tables with linear probing whose slots
// lead to the first record of a name in list order, so that the first-match
// rule of the lists holds; names hash and compare with ASCII letters folded.
#include "profile/profile_internal.h"

#include "platform/fault_injection.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The slot where a hash starts its probe: the hash scaled to the table.
std::uint32_t HomeSlot(std::uint32_t hash, std::uint32_t slotCount) {
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(hash) * slotCount) >> 32);
}

std::uint32_t NextSlot(std::uint32_t slot, std::uint32_t slotCount) {
  return slot + 1 == slotCount ? 0 : slot + 1;
}

// Room for used names at most four fifths full, so probes stay short.
bool Crowded(std::uint32_t used, std::uint32_t slotCount) {
  return static_cast<std::uint64_t>(used) * 5 >= static_cast<std::uint64_t>(slotCount) * 4;
}

std::uint32_t RoomyCount(std::uint32_t names) {
  return names + names / 2 + 4;
}

bool NamesMatch(const char *name, std::uint32_t nameLength, const char *key, std::size_t length) {
  return nameLength == length && ProfileSameName(name, key, length);
}

// --- Entries ---

void PlaceEntry(ProfileEntrySlot *slots, std::uint32_t slotCount, ProfileEntrySlot slot) {
  std::uint32_t at = HomeSlot(slot.hash, slotCount);
  while (slots[at].position != 0) {
    at = NextSlot(at, slotCount);
  }
  slots[at] = slot;
}

bool ResizeEntrySlots(ProfileSection *section, std::uint32_t slotCount) {
  auto *slots =
      static_cast<ProfileEntrySlot *>(FallibleCalloc(slotCount, sizeof(ProfileEntrySlot)));
  if (slots == nullptr) {
    return false;
  }
  for (std::uint32_t i = 0; i < section->entrySlotCount; ++i) {
    if (section->entrySlots[i].position != 0) {
      PlaceEntry(slots, slotCount, section->entrySlots[i]);
    }
  }
  std::free(section->entrySlots);
  section->entrySlots = slots;
  section->entrySlotCount = slotCount;
  return true;
}

// --- Sections ---

void PlaceSection(ProfileSection **slots, std::uint32_t slotCount, ProfileSection *section) {
  std::uint32_t at = HomeSlot(section->nameHash, slotCount);
  while (slots[at] != nullptr) {
    at = NextSlot(at, slotCount);
  }
  slots[at] = section;
}

bool ResizeSectionSlots(ProfileFile *file, std::uint32_t slotCount) {
  auto *slots = static_cast<ProfileSection **>(FallibleCalloc(slotCount, sizeof(ProfileSection *)));
  if (slots == nullptr) {
    return false;
  }
  for (std::uint32_t i = 0; i < file->sectionSlotCount; ++i) {
    if (file->sectionSlots[i] != nullptr) {
      PlaceSection(slots, slotCount, file->sectionSlots[i]);
    }
  }
  std::free(file->sectionSlots);
  file->sectionSlots = slots;
  file->sectionSlotCount = slotCount;
  return true;
}

// The slot holding this very section, which must be indexed.
std::uint32_t SlotOf(const ProfileFile *file, const ProfileSection *section) {
  std::uint32_t at = HomeSlot(section->nameHash, file->sectionSlotCount);
  while (file->sectionSlots[at] != section) {
    at = NextSlot(at, file->sectionSlotCount);
  }
  return at;
}

// Empties a slot and moves later slots of the same probe run back into the
// gap, so that every name stays reachable from its home slot.
void EmptySectionSlot(ProfileFile *file, std::uint32_t gap) {
  ProfileSection **slots = file->sectionSlots;
  const std::uint32_t count = file->sectionSlotCount;
  slots[gap] = nullptr;
  for (std::uint32_t at = NextSlot(gap, count); slots[at] != nullptr; at = NextSlot(at, count)) {
    const std::uint32_t home = HomeSlot(slots[at]->nameHash, count);
    // The record may move back to the gap unless its home lies cyclically
    // after the gap, up to its current slot.
    const bool homeAfterGap = gap <= at ? (gap < home && home <= at) : (gap < home || home <= at);
    if (!homeAfterGap) {
      slots[gap] = slots[at];
      slots[at] = nullptr;
      gap = at;
    }
  }
}

} // namespace

namespace {

// Puts the entry at a list position into the table unless an earlier entry
// of its name is there already.
void PlaceFirstOfName(ProfileSection *section, std::uint32_t position, std::uint32_t hash) {
  const ProfileEntry *entry = ProfileEntryAt(section, position);
  ProfileEntrySlot *slots = section->entrySlots;
  const std::uint32_t count = section->entrySlotCount;
  std::uint32_t at = HomeSlot(hash, count);
  for (; slots[at].position != 0; at = NextSlot(at, count)) {
    if (slots[at].hash == hash) {
      const ProfileEntry *indexed = ProfileEntryAt(section, slots[at].position - 1);
      if (NamesMatch(indexed->name, indexed->nameLength, entry->name, entry->nameLength)) {
        return;
      }
    }
  }
  slots[at] = {hash, position + 1};
  ++section->indexedNames;
}

// A section's entry index is made at its first lookup, from the list; false
// when memory ran out (lookups then walk the list).
bool EnsureEntryIndex(ProfileSection *section) {
  if (section->entrySlotCount != 0 || section->entryCount == 0) {
    return true;
  }
  if (!ResizeEntrySlots(section, RoomyCount(section->entryCount))) {
    return false;
  }
  // Names read from the file lie in its padded text.
  for (std::uint32_t i = 0; i < section->readEntryCount; ++i) {
    const ProfileEntry &entry = section->readEntries[i];
    PlaceFirstOfName(section, i, ProfileHashTextName(entry.name, entry.nameLength));
  }
  for (std::uint32_t i = section->readEntryCount; i < section->entryCount; ++i) {
    const ProfileEntry *entry = ProfileEntryAt(section, i);
    PlaceFirstOfName(section, i, ProfileHashName(entry->name, entry->nameLength));
  }
  return true;
}

} // namespace

ProfileEntry *ProfileIndexedEntry(ProfileSection *section, const char *name, std::size_t length,
                                  std::uint32_t hash) {
  if (!EnsureEntryIndex(section)) {
    for (ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
      if (NamesMatch(entry->name, entry->nameLength, name, length)) {
        return entry;
      }
    }
    return nullptr;
  }
  const std::uint32_t count = section->entrySlotCount;
  if (count == 0) {
    return nullptr;
  }
  const ProfileEntrySlot *slots = section->entrySlots;
  for (std::uint32_t at = HomeSlot(hash, count); slots[at].position != 0;
       at = NextSlot(at, count)) {
    if (slots[at].hash == hash) {
      ProfileEntry *entry = ProfileEntryAt(section, slots[at].position - 1);
      if (NamesMatch(entry->name, entry->nameLength, name, length)) {
        return entry;
      }
    }
  }
  return nullptr;
}

bool ProfileIndexEntry(ProfileSection *section, std::uint32_t position, std::uint32_t hash) {
  if (section->entrySlotCount == 0) {
    return true; // not made yet: it will be made from the list, this entry included
  }
  if (Crowded(section->indexedNames + 1, section->entrySlotCount) &&
      !ResizeEntrySlots(section, RoomyCount(section->indexedNames + 1) * 2)) {
    return false;
  }
  PlaceFirstOfName(section, position, hash);
  return true;
}

ProfileSection *ProfileIndexedSection(const ProfileFile *file, const char *name, std::size_t length,
                                      std::uint32_t hash) {
  const std::uint32_t count = file->sectionSlotCount;
  if (count == 0) {
    return nullptr;
  }
  ProfileSection *const *slots = file->sectionSlots;
  for (std::uint32_t at = HomeSlot(hash, count); slots[at] != nullptr; at = NextSlot(at, count)) {
    ProfileSection *section = slots[at];
    if (section->nameHash == hash && NamesMatch(section->name, section->nameLength, name, length)) {
      return section;
    }
  }
  return nullptr;
}

bool ProfileIndexSection(ProfileFile *file, ProfileSection *section) {
  section->nextSameName = nullptr;
  section->lastSameName = section;
  ProfileSection *first =
      ProfileIndexedSection(file, section->name, section->nameLength, section->nameHash);
  if (first != nullptr) {
    first->lastSameName->nextSameName = section;
    first->lastSameName = section;
    return true;
  }
  if (Crowded(file->sectionSlotsUsed + 1, file->sectionSlotCount) &&
      !ResizeSectionSlots(file, RoomyCount(file->sectionSlotsUsed + 1) * 2)) {
    return false;
  }
  PlaceSection(file->sectionSlots, file->sectionSlotCount, section);
  ++file->sectionSlotsUsed;
  return true;
}

void ProfileUnindexSection(ProfileFile *file, ProfileSection *section) {
  ProfileSection *first =
      ProfileIndexedSection(file, section->name, section->nameLength, section->nameHash);
  if (first != section) {
    // A later duplicate: it only leaves the chain of the first of its name.
    ProfileSection *before = first;
    while (before != nullptr && before->nextSameName != section) {
      before = before->nextSameName;
    }
    if (before != nullptr) {
      before->nextSameName = section->nextSameName;
      if (first->lastSameName == section) {
        first->lastSameName = before;
      }
    }
    return;
  }
  const std::uint32_t slot = SlotOf(file, section);
  ProfileSection *successor = section->nextSameName;
  if (successor != nullptr) {
    // The same name hashes alike: the next duplicate takes this very slot.
    successor->lastSameName = section->lastSameName;
    file->sectionSlots[slot] = successor;
  } else {
    EmptySectionSlot(file, slot);
    --file->sectionSlotsUsed;
  }
}
