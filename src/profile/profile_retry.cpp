#include "profile/profile_internal.h"

#include <chrono>

namespace {

// The engine's own generator, so that the host's srand/rand sequence is
// neither reseeded nor drawn from. Seeded once from the clock.
std::uint64_t generatorState = 0;
std::uint64_t retryWaitsTaken = 0;
bool generatorSeeded = false;

std::uint64_t NextRandom() {
  if (!generatorSeeded) {
    generatorState =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    generatorSeeded = true;
  }
  // splitmix64
  std::uint64_t z = (generatorState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

} // namespace

std::uint32_t ProfileRetryWait() {
  return static_cast<std::uint32_t>(NextRandom() % 250) + 30;
}

void ProfileSleepBeforeRetry() {
  ++retryWaitsTaken;
  Sleep(ProfileRetryWait());
}

std::uint64_t ProfileRetryWaitsTaken() {
  return retryWaitsTaken;
}
