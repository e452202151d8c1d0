#pragma once
// The lock of one removal per install, held through the system's named mutexes.
#include "platform/basics/handles_win.h"
#include "platform/context/run_context.h"

namespace koravane {

struct RemovalLock {
  UniqueHandle held;             // empty when the lock could not be made at all
  bool under_way_elsewhere = false;  // another run of this root holds it
};

// Takes the root's lock for this run. A system that will not make it does not stop the removal.
RemovalLock take_removal_lock(const InstallRoot& root);

}  // namespace koravane
