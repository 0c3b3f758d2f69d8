// Instance numbers over lock files in the runtime folder.
#include "platform/instances.h"

namespace vardell {

bool InstanceLocks::isHeld(int n) const {
  std::error_code ec;
  const std::unique_ptr<HeldLock> probe = fs_.tryLock(folder_ + lockName(n), ec);
  return probe == nullptr;  // released again as the probe goes out of scope
}

std::unique_ptr<HeldLock> InstanceLocks::claim(int n, std::error_code& ec) const {
  ec.clear();
  std::unique_ptr<HeldLock> lock = fs_.tryLock(folder_ + lockName(n), ec);
  if (!lock && !ec) ec = std::make_error_code(std::errc::resource_unavailable_try_again);
  return lock;
}

}  // namespace vardell
