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

// Room for used names at most four fifths full, so probes stay short.
bool Crowded(std::uint32_t used, std::uint32_t slotCount) {
  return static_cast<std::uint64_t>(used) * 5 >= static_cast<std::uint64_t>(slotCount) * 4;
}

std::uint32_t RoomyCount(std::uint32_t names) {
  return names + names / 2 + 4;
}

// --- Entries ---

void PlaceEntry(ProfileEntrySlot *slots, std::uint32_t slotCount, ProfileEntrySlot slot) {
  std::uint32_t at = ProfileHomeSlot(slot.hash, slotCount);
  while (slots[at].position != 0) {
    at = ProfileNextSlot(at, slotCount);
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
  std::uint32_t at = ProfileHomeSlot(section->nameHash, slotCount);
  while (slots[at] != nullptr) {
    at = ProfileNextSlot(at, slotCount);
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
  std::uint32_t at = ProfileHomeSlot(section->nameHash, file->sectionSlotCount);
  while (file->sectionSlots[at] != section) {
    at = ProfileNextSlot(at, file->sectionSlotCount);
  }
  return at;
}

// Empties a slot and moves later slots of the same probe run back into the
// gap, so that every name stays reachable from its home slot.
void EmptySectionSlot(ProfileFile *file, std::uint32_t gap) {
  ProfileSection **slots = file->sectionSlots;
  const std::uint32_t count = file->sectionSlotCount;
  slots[gap] = nullptr;
  for (std::uint32_t at = ProfileNextSlot(gap, count); slots[at] != nullptr;
       at = ProfileNextSlot(at, count)) {
    const std::uint32_t home = ProfileHomeSlot(slots[at]->nameHash, count);
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
  std::uint32_t at = ProfileHomeSlot(hash, count);
  for (; slots[at].position != 0; at = ProfileNextSlot(at, count)) {
    if (slots[at].hash == hash) {
      const ProfileEntry *indexed = ProfileEntryAt(section, slots[at].position - 1);
      if (ProfileNamesMatch(indexed->name, indexed->nameLength, entry->name, entry->nameLength)) {
        return;
      }
    }
  }
  slots[at] = {hash, position + 1};
  ++section->indexedNames;
}

} // namespace

bool ProfileMakeEntryIndex(ProfileSection *section) {
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

ProfileEntry *ProfileWalkForEntry(const ProfileSection *section, const ProfileKeyName &key) {
  for (ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
    if (ProfileNameIs(entry->name, entry->nameLength, key)) {
      return entry;
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

bool ProfileIndexSection(ProfileFile *file, ProfileSection *section) {
  section->nextSameName = nullptr;
  section->lastSameName = section;
  ProfileSection *first =
      ProfileIndexedSection(file, ProfileFoldKey(section->name, section->nameLength));
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
      ProfileIndexedSection(file, ProfileFoldKey(section->name, section->nameLength));
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
