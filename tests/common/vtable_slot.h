// The position of a virtual operation in its class's table of virtual
// functions. Both builds use the Itanium C++ ABI, where a pointer to a virtual
// member function holds 1 plus the byte offset of its entry in that table, and
// a virtual destructor takes two entries (the complete and the deleting one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

template <typename Member> std::size_t VtableSlot(Member member) {
  struct Representation {
    std::uintptr_t pointer;
    std::ptrdiff_t adjustment;
  };
  static_assert(sizeof(Member) == sizeof(Representation));
  Representation representation;
  std::memcpy(&representation, &member, sizeof representation);
  return static_cast<std::size_t>((representation.pointer - 1) / sizeof(void *));
}
