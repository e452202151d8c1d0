#pragma once
// The lock of one removal per install, held through the system's named mutexes, and what the run
// holding it tells the runs that find it taken, in a named memory block beside it.
#include <windows.h>

#include <string>

#include "platform/basics/handles_win.h"
#include "platform/context/run_context.h"

namespace koravane {

// What a run that finds the lock taken learns of the run holding it.
struct OtherRun {
  DWORD process_id = 0;  // 0 when it has said nothing (yet)
  bool asking = false;   // it shows its removal-choice dialog and has begun nothing
};

struct RemovalLock {
  UniqueHandle held;                 // empty when the lock could not be made at all
  bool under_way_elsewhere = false;  // another run of this root holds it
  std::wstring record_name;          // of the block the holder writes
  UniqueHandle record;               // this run's block, while it holds the lock
  UniqueMappedView record_view;
};

// Takes the root's lock for this run. A system that will not make it does not stop the removal.
RemovalLock take_removal_lock(const InstallRoot& root);

// Tells other runs of the root whether this one only asks (its dialog is open). Nothing is told
// where the block could not be made.
void tell_asking(const RemovalLock& lock, bool asking);

// What the run holding the lock elsewhere has told.
OtherRun read_other_run(const RemovalLock& lock);

}  // namespace koravane
