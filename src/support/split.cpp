// Split: a text cut at every occurrence of a separator.
#include "support/byte_string.h"

#include <new>

namespace {

// Occurrences are taken from left to right and never overlap. An empty
// separator occurs nowhere, so the whole text is one piece.
std::int32_t CountSeparators(const std::string &text, const std::string &separator) {
  std::int32_t found = 0;
  if (separator.empty()) {
    return found;
  }
  for (std::size_t at = text.find(separator); at != std::string::npos;
       at = text.find(separator, at + separator.size())) {
    ++found;
  }
  return found;
}

void FillPieces(ByteString *pieces, std::int32_t pieceCount, const std::string &text,
                const std::string &separator) {
  std::size_t start = 0;
  for (std::int32_t i = 0; i + 1 < pieceCount; ++i) {
    const std::size_t at = text.find(separator, start);
    pieces[i].assign(text, start, at - start);
    start = at + separator.size();
  }
  pieces[pieceCount - 1].assign(text, start, std::string::npos);
}

} // namespace

// A null separator counts as an empty one. When the array cannot be made the
// result is null and the count 0, as for an empty text.
ByteString *Split(std::int32_t *count, ByteString text, const char *separator) {
  ByteString *pieces = nullptr;
  std::int32_t pieceCount = 0;
  if (!text.empty()) {
    const std::string separatorText = separator == nullptr ? "" : separator;
    pieceCount = CountSeparators(text, separatorText) + 1;
    pieces = new (std::nothrow) ByteString[static_cast<std::size_t>(pieceCount)];
    if (pieces == nullptr) {
      pieceCount = 0;
    } else {
      FillPieces(pieces, pieceCount, text, separatorText);
    }
  }
  if (count != nullptr) {
    *count = pieceCount;
  }
  return pieces;
}
