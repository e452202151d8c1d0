#pragma once
// The player's Minecraft worlds in an install root: every folder below it that holds a
// "level.dat" file, at any depth (the game's saves, a modpack instance's saves). Full removal
// sends them to the Recycle Bin rather than deleting them, and the dialog names them first.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basics/result.h"
#include "platform/files/env.h"

namespace koravane {

inline constexpr std::string_view kWorldMarker = "level.dat";

// Lists one folder; the system's error when it cannot be read.
class FolderListing {
 public:
  virtual ~FolderListing() = default;
  virtual OsResult<std::vector<ListedEntry>> list(std::string_view folder) = 0;
};

struct World {
  std::string path;    // the root's spelling joined with the names below it
  uint64_t bytes = 0;  // what its files hold, when asked for
};

struct WorldSearchOptions {
  // Sum each world's file sizes too (the dialog shows them; the removal needs none).
  bool with_sizes = false;
  // Set from another thread to give up: the search then returns what it found so far.
  const std::atomic<bool>* stop = nullptr;
};

struct WorldSearch {
  std::vector<World> worlds;
  // The folders the search could not look into (no access, say): a world in one is not found.
  // One that went meanwhile is not counted.
  uint64_t unread_folders = 0;
};

// The worlds below root, in listing order, parents before what they hold. The search never enters
// a link nor goes below a world; a folder that cannot be listed is passed over, and counted.
WorldSearch find_worlds(FolderListing& listing, std::string_view root, const WorldSearchOptions& options = {});

// The worlds' total size.
uint64_t total_bytes(const std::vector<World>& worlds);

// The longest "\name\..." below folder in UTF-16 units, as the system counts a path's length: that
// of its deepest entry, 0 for an empty folder; measured only until it passes enough, and then
// some length past it. A link counts by its name and is never entered; the first folder that
// cannot be listed is the error, since then nothing can be said.
OsResult<size_t> longest_below(FolderListing& listing, std::string_view folder, size_t enough);

// Codes of the shell's older file call's refusals.
namespace world_code {
inline constexpr uint32_t kBadPathname = 161;      // ERROR_BAD_PATHNAME
inline constexpr uint32_t kFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
}  // namespace world_code

// Why the shell's older file call may not be handed world, whose longest path below it is below
// long, or 0 when it may. That call copies each path into a buffer of MAX_PATH: past it, what it
// acts on is an empty path, the working folder, so every path it would reach must fit. It reads
// '*' and '?' as wildcards, and takes neither a relative path nor a verbatim or device one.
uint32_t older_call_refusal(std::string_view world, size_t below);

// Windows only: the search over the system's folder listing.
WorldSearch find_worlds(std::string_view root, const WorldSearchOptions& options = {});

// Windows only: sends one world to the Recycle Bin, with no window of the shell's. Success only
// when the bin took it; a world the bin cannot take (the bin off or too small, a network drive) is
// left as it was, never deleted, and the error says why. A path that is not fully qualified
// reaches no shell call.
OsStatus recycle_world(std::string_view path);

}  // namespace koravane
