// The file that two processes update at once in the profile process tests:
// one section S with the entries a and b, each process changing its own
// entry, round after round. Each round's value has a length of its own, so
// that a file torn or mixed from two writes never reads as a whole one.
#pragma once

#include <cstdlib>
#include <string>

inline std::string ContendedValue(char entry, int round) {
  return std::to_string(round) + ":" +
         std::string(20000 + 997 * static_cast<std::size_t>(round % 50), entry);
}

inline std::string ContendedFile(int roundOfA, int roundOfB) {
  return "[S]\r\na=" + ContendedValue('a', roundOfA) + "\r\nb=" + ContendedValue('b', roundOfB) +
         "\r\n\r\n";
}

// Whether bytes are the whole file as written for some pair of rounds; the
// rounds found go to *roundOfA and *roundOfB.
inline bool IsWholeContendedFile(const std::string &bytes, int *roundOfA, int *roundOfB) {
  const std::string head = "[S]\r\na=";
  if (bytes.compare(0, head.size(), head) != 0) {
    return false;
  }
  *roundOfA = std::atoi(bytes.c_str() + head.size());
  const std::size_t b = bytes.find("\r\nb=");
  if (b == std::string::npos) {
    return false;
  }
  *roundOfB = std::atoi(bytes.c_str() + b + 4);
  return *roundOfA >= 0 && *roundOfB >= 0 && bytes == ContendedFile(*roundOfA, *roundOfB);
}
