// Profile files for the benchmarks, generated on first use from a fixed seed
// (the same bytes in every run and on every machine) into a scratch folder
// that is removed when the program ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FileShape {
  const char *name; // unique per shape: the file's name in the scratch folder
  std::uint32_t sections;
  std::uint32_t entries;  // per section
  std::uint32_t minValue; // value lengths in bytes; 0 and 0 for the usual mix
  std::uint32_t maxValue; // (most short, a long tail up to 150)
  bool comments;          // a comment line before every section and every tenth entry
  bool utf16;             // UTF-16 little-endian with the FF FE mark
  // Every tenth value split over two lines by a backslash: read with the
  // switches on (ReadAsShaped), which join them again.
  bool continued = false;
};

struct GeneratedFile {
  std::string path;
  std::size_t bytes = 0;
  std::vector<std::string> sections;             // in file order
  std::vector<std::vector<std::string>> entries; // per section, in file order
  std::vector<std::vector<std::string>> values;  // beside entries
  std::size_t entryCount() const;
};

// The file of that shape, written on the first call for its name.
const GeneratedFile &Generated(const FileShape &shape);

// A path in the scratch folder for a file a benchmark writes.
std::string ScratchPath(const std::string &name);

// name with each ASCII letter's case chosen by the generator: the engine
// must match it all the same.
std::string MixCase(const std::string &name, std::uint32_t seed);

// The shapes the load and write-back benchmarks share.
namespace shapes {
inline constexpr FileShape Small{"small", 5, 20, 0, 0, true, false};
inline constexpr FileShape Medium{"medium", 200, 100, 0, 0, false, false};
inline constexpr FileShape Large{"large", 1000, 500, 0, 0, false, false};
inline constexpr FileShape Wide{"wide", 1, 100000, 0, 0, false, false};
inline constexpr FileShape Tall{"tall", 20000, 1, 0, 0, false, false};
inline constexpr FileShape LongValues{"long-values", 20, 50, 1000, 4000, false, false};
inline constexpr FileShape MediumUtf16{"medium-utf16", 200, 100, 0, 0, false, true};
inline constexpr FileShape MediumContinued{"medium-continued", 200, 100, 0, 0, false, false, true};
} // namespace shapes

// One section of n entries, for the benchmarks by section size.
FileShape OneSection(std::uint32_t entries);
// n sections of 4 entries, for the benchmarks by section count.
FileShape ManySections(std::uint32_t sections);
