#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/basics/handles_win.h"

namespace koravane {
namespace {

struct Attempts {
  bool exclusive = false;
  bool shared = false;
};

// What another thread gets when it tries the lock without waiting; it releases what it got.
Attempts try_from_another_thread(SRWLOCK& lock) {
  Attempts attempts;
  std::thread other([&] {
    attempts.exclusive = TryAcquireSRWLockExclusive(&lock) != 0;
    if (attempts.exclusive) ReleaseSRWLockExclusive(&lock);
    attempts.shared = TryAcquireSRWLockShared(&lock) != 0;
    if (attempts.shared) ReleaseSRWLockShared(&lock);
  });
  other.join();
  return attempts;
}

// The launch lock keeps one child's inheritable handles away from another child made at the
// same time: while a guard lives nobody else may take the lock in any mode, and it is free again
// once the guard is gone.
TEST(ExclusiveLockGuard, HoldsTheLockExclusivelyForItsScopeOnly) {
  SRWLOCK lock = SRWLOCK_INIT;
  {
    const ExclusiveLockGuard guard(lock);
    const Attempts held = try_from_another_thread(lock);
    EXPECT_FALSE(held.exclusive);
    EXPECT_FALSE(held.shared);
  }
  const Attempts released = try_from_another_thread(lock);
  EXPECT_TRUE(released.exclusive);
  EXPECT_TRUE(released.shared);
}

}  // namespace
}  // namespace koravane
