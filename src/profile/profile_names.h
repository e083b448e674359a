// How the engine hashes and compares names: ASCII letters without regard to
// case, every other byte as it is. Inline, as lookups are made of little
// else; names are read eight bytes at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace profile_names {

constexpr std::uint64_t ByteLows = 0x0101010101010101ull;

inline std::uint64_t Load64(const char *p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

inline std::uint32_t Load32(const char *p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// A-Z become a-z in each of the eight bytes; every other byte stays.
inline std::uint64_t FoldWord(std::uint64_t word) {
  const std::uint64_t low7 = word & (0x7F * ByteLows);
  const std::uint64_t fromA = low7 + (0x80 - 'A') * ByteLows;
  const std::uint64_t pastZ = low7 + (0x80 - 'Z' - 1) * ByteLows;
  const std::uint64_t upper = fromA & ~pastZ & ~word & (0x80 * ByteLows);
  return word | (upper >> 2);
}

// The last 1 to 8 bytes as one word, the missing high bytes zero: one load
// for 8, two overlapping loads for 4 to 7, three picked bytes for 1 to 3.
inline std::uint64_t TailWord(const char *p, std::size_t length) {
  if (length == 8) {
    return Load64(p);
  }
  if (length >= 4) {
    const std::uint64_t high = std::uint64_t{Load32(p + length - 4)} >> (8 * (8 - length));
    return Load32(p) | (high << 32);
  }
  const auto byte = [p](std::size_t at) {
    return static_cast<std::uint64_t>(static_cast<unsigned char>(p[at])) << (8 * at);
  };
  return byte(0) | byte(length / 2) | byte(length - 1);
}

// The same for a name that has at least eight readable bytes from its start
// (a name in a file's text, which is padded): one load, masked.
inline std::uint64_t PaddedTailWord(const char *p, std::size_t length) {
  return Load64(p) & (~std::uint64_t{0} >> (8 * (8 - length)));
}

// One word into the hash state: rotated so that earlier words' high bits
// take part in later products, then multiplied.
inline std::uint64_t Mix(std::uint64_t state, std::uint64_t word) {
  return (((state << 5) | (state >> 59)) ^ word) * 0x517CC1B727220A95ull;
}

} // namespace profile_names

namespace profile_names {

template <bool Padded> std::uint32_t Hash(const char *name, std::size_t length) {
  std::uint64_t state = length;
  for (; length > 8; name += 8, length -= 8) {
    state = Mix(state, FoldWord(Load64(name)));
  }
  if (length > 0) {
    state = Mix(state, FoldWord(Padded ? PaddedTailWord(name, length) : TailWord(name, length)));
  } else {
    state = Mix(state, 0);
  }
  return static_cast<std::uint32_t>(state >> 32);
}

} // namespace profile_names

// The high half of the last product: every byte of the name has reached it.
inline std::uint32_t ProfileHashName(const char *name, std::size_t length) {
  return profile_names::Hash<false>(name, length);
}

// The same hash, for a name in a file's text, whose padding lets the last
// bytes be read as a whole word.
inline std::uint32_t ProfileHashTextName(const char *name, std::size_t length) {
  return profile_names::Hash<true>(name, length);
}

// Whether two names of this length are the same, ASCII case aside.
inline bool ProfileSameName(const char *left, const char *right, std::size_t length) {
  using namespace profile_names;
  for (; length > 8; left += 8, right += 8, length -= 8) {
    const std::uint64_t l = Load64(left);
    const std::uint64_t r = Load64(right);
    if (l != r && FoldWord(l) != FoldWord(r)) {
      return false;
    }
  }
  if (length == 0) {
    return true;
  }
  const std::uint64_t l = TailWord(left, length);
  const std::uint64_t r = TailWord(right, length);
  return l == r || FoldWord(l) == FoldWord(r);
}

// A name to look up, folded once for its hash and every comparison: its
// words with the ASCII letters folded (the last one zero-padded), as far as
// ProfileKeyWords of them go.
constexpr std::size_t ProfileKeyWords = 8;
struct ProfileKeyName {
  const char *text;
  std::size_t length;
  std::uint32_t hash;
  std::uint64_t words[ProfileKeyWords];
};

// The key of text; its hash is ProfileHashName's.
inline ProfileKeyName ProfileFoldKey(const char *text, std::size_t length) {
  using namespace profile_names;
  ProfileKeyName key;
  key.text = text;
  key.length = length;
  std::uint64_t state = length;
  std::size_t word = 0;
  for (; length > 8; text += 8, length -= 8, ++word) {
    const std::uint64_t folded = FoldWord(Load64(text));
    if (word < ProfileKeyWords) {
      key.words[word] = folded;
    }
    state = Mix(state, folded);
  }
  const std::uint64_t last = length == 0 ? 0 : FoldWord(TailWord(text, length));
  if (word < ProfileKeyWords) {
    key.words[word] = last;
  }
  key.hash = static_cast<std::uint32_t>(Mix(state, last) >> 32);
  return key;
}

// The bytes of a name beyond the key's folded words, compared; rare enough
// to stay out of line.
[[gnu::noinline]] inline bool ProfileSameNameTail(const char *name, const char *key,
                                                  std::size_t length) {
  return ProfileSameName(name, key, length);
}

// Whether a record's name (one with padding behind it, as every name in the
// records has) is the key, ASCII case aside.
inline bool ProfileNameIs(const char *name, std::uint32_t nameLength, const ProfileKeyName &key) {
  using namespace profile_names;
  if (nameLength != key.length) {
    return false;
  }
  std::size_t left = key.length;
  std::size_t word = 0;
  for (; left > 8 && word < ProfileKeyWords; name += 8, left -= 8, ++word) {
    if (FoldWord(Load64(name)) != key.words[word]) {
      return false;
    }
  }
  if (word == ProfileKeyWords) {
    return ProfileSameNameTail(name, key.text + 8 * ProfileKeyWords, left);
  }
  return left == 0 || FoldWord(PaddedTailWord(name, left)) == key.words[word];
}
