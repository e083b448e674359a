// What the fault walks share: names of the kinds of calls, a count of the
// calls of each kind that one operation makes, and a report of the steps a
// walk failed.
#pragma once

#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

inline const char *FaultKindName(FaultKind kind) {
  static const char *const names[FaultKindCount] = {"open",        "read",       "write",
                                                    "flush",       "close",      "replace",
                                                    "folder sync", "allocation", "sqlite step"};
  return names[static_cast<std::size_t>(kind)];
}

inline const char *FaultErrorName(FaultError error) {
  switch (error) {
  case FaultError::DiskFull:
    return "disk full";
  case FaultError::Busy:
    return "busy";
  case FaultError::OutOfMemory:
    return "out of memory";
  case FaultError::DeviceError:
    break;
  }
  return "device error";
}

inline FaultKind FaultKindAt(std::size_t index) {
  return static_cast<FaultKind>(index);
}

// The calls of every kind made since the last arming or disarming.
struct FaultCensus {
  std::array<std::uint64_t, FaultKindCount> calls{};

  static FaultCensus Take() {
    FaultCensus census;
    for (std::size_t i = 0; i < FaultKindCount; ++i) {
      census.calls[i] = FaultCallsSeen(FaultKindAt(i));
    }
    return census;
  }

  std::uint64_t operator[](FaultKind kind) const { return calls[static_cast<std::size_t>(kind)]; }

  std::uint64_t Total() const {
    std::uint64_t total = 0;
    for (std::uint64_t count : calls) {
      total += count;
    }
    return total;
  }

  std::string Describe() const {
    std::string text;
    for (std::size_t i = 0; i < FaultKindCount; ++i) {
      if (calls[i] != 0) {
        text += (text.empty() ? "" : ", ") + std::to_string(calls[i]) + " " +
                FaultKindName(FaultKindAt(i));
      }
    }
    return text;
  }
};

// Shown in the test's output and kept in its XML report.
inline void ReportWalk(const char *walk, std::uint64_t steps, const FaultCensus &census) {
  std::printf("[ fault walk ] %s: %llu steps failed in turn (%s)\n", walk,
              static_cast<unsigned long long>(steps), census.Describe().c_str());
  std::fflush(stdout);
  ::testing::Test::RecordProperty("fault_steps", std::to_string(steps));
}
