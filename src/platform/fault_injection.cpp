// The fault switch of test builds; the core library that ships leaves this
// file out.
#include "platform/fault_injection.h"

#include <array>

namespace {

struct Plan {
  std::uint64_t seen = 0;  // calls of the kind since it was armed
  std::uint64_t first = 0; // 0: nothing armed
  std::uint64_t count = 0;
  FaultError error = FaultError::DeviceError;
};

std::array<Plan, FaultKindCount> plans;
std::uint64_t struck = 0;

Plan &PlanOf(FaultKind kind) {
  return plans[static_cast<std::size_t>(kind)];
}

} // namespace

std::optional<FaultError> InjectedFault(FaultKind kind) {
  Plan &plan = PlanOf(kind);
  const std::uint64_t call = ++plan.seen;
  if (plan.first == 0 || call < plan.first || call - plan.first >= plan.count) {
    return std::nullopt;
  }
  ++struck;
  return plan.error;
}

void ArmFault(FaultKind kind, std::uint64_t first, FaultError error, std::uint64_t count) {
  DisarmFaults();
  PlanOf(kind) = Plan{0, first, count, error};
}

void DisarmFaults() {
  plans.fill(Plan{});
  struck = 0;
}

std::uint64_t FaultCallsSeen(FaultKind kind) {
  return PlanOf(kind).seen;
}

std::uint64_t FaultsStruck() {
  return struck;
}
