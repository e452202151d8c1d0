#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/processes/processes.h"

namespace koravane {
namespace {

ProcessEntry process(uint32_t id, uint32_t parent, uint64_t created) {
  return {id, parent, created, "p" + std::to_string(id) + ".exe", std::nullopt};
}

std::vector<uint32_t> ids(const std::vector<ProcessEntry>& processes, const std::vector<size_t>& entries) {
  std::vector<uint32_t> out;
  for (size_t i : entries) out.push_back(processes[i].id);
  return out;
}

// A parent id names a parent only while no later process has taken that id over; an unknown
// creation time cannot say it was taken over.
TEST(Processes, TheChainOfParentsStopsWhereAnIdWasTakenOver) {
  struct Case {
    const char* what;
    std::vector<ProcessEntry> processes;
    std::vector<uint32_t> chain;  // of process 10
  };
  const Case cases[] = {
      {"launcher, then the first copy", {process(1, 0, 5), process(4, 1, 7), process(10, 4, 9)}, {4, 1}},
      {"the parent's id reused by a later process", {process(4, 1, 12), process(10, 4, 9)}, {}},
      {"a grandparent's id reused", {process(1, 0, 8), process(4, 1, 7), process(10, 4, 9)}, {4}},
      {"started at the same moment", {process(4, 0, 9), process(10, 4, 9)}, {4}},
      {"no creation time known", {process(4, 1, 0), process(1, 0, 3), process(10, 4, 0)}, {4, 1}},
      {"a parent gone from the list", {process(10, 4, 9)}, {}},
      {"its own parent", {process(10, 10, 9)}, {}},
      {"a circle of unknown times", {process(4, 10, 0), process(10, 4, 0)}, {4}},
      {"not in the list at all", {process(4, 0, 1)}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ids(c.processes, ancestors_of(c.processes, 10)), c.chain) << c.what;
}

TEST(Processes, DescendantsAreFollowedThroughEveryGenerationButNotThroughReusedIds) {
  const std::vector<ProcessEntry> processes = {
      process(1, 0, 10),   // 0: launcher
      process(2, 1, 11),   // 1: its child
      process(3, 2, 12),   // 2: grandchild
      process(4, 1, 5),    // 3: older than the launcher: an earlier process 1 started it
      process(5, 4, 13),   // 4: child of that one
      process(6, 99, 14),  // 5: unrelated
      process(7, 3, 15),   // 6: great-grandchild, listed after its parent's parent
  };
  EXPECT_EQ(ids(processes, descendants_of(processes, {0})), (std::vector<uint32_t>{2, 3, 7}));
  EXPECT_EQ(ids(processes, descendants_of(processes, {1})), (std::vector<uint32_t>{3, 7}));
  EXPECT_TRUE(descendants_of(processes, {5}).empty());
  EXPECT_TRUE(descendants_of(processes, {}).empty());
  // A snapshot may list a child before its parent, the first entry included.
  const std::vector<ProcessEntry> children_first = {process(7, 3, 15), process(3, 2, 12), process(2, 1, 11),
                                                    process(1, 0, 10)};
  EXPECT_EQ(ids(children_first, descendants_of(children_first, {3})), (std::vector<uint32_t>{2, 3, 7}));
}

// What descends is asked to close: a link is followed only where both creation times tell that
// the parent is no later process that took a dead parent's id.
TEST(Processes, DescendantsAreNeverFollowedThroughAnUnknownCreationTime) {
  const std::vector<ProcessEntry> processes = {
      process(1, 0, 10),  // 0: launcher
      process(2, 1, 0),   // 1: its child? unknown time
      process(3, 2, 12),  // 2: that one's child
      process(4, 1, 11),  // 3: its child
      process(5, 0, 0),   // 4: a root of unknown time
      process(6, 5, 13),  // 5: its child
  };
  EXPECT_EQ(ids(processes, descendants_of(processes, {0})), (std::vector<uint32_t>{4}));
  EXPECT_TRUE(descendants_of(processes, {4}).empty());
}

// A listed id opened a moment later may name a process that took it over: one of another name,
// or one created after the list was taken, is not the listed one.
TEST(Processes, AnOpenedProcessIsTheListedOneOnlyByNameAndAge) {
  struct Case {
    const char* what;
    std::optional<std::string> image;
    uint64_t created;
    bool listed;
  };
  const Case cases[] = {
      {"same name and older", "C:\\Games\\KoraVane\\KoraVane.exe", 90, true},
      {"name in another case", "C:\\Games\\KoraVane\\KORAVANE.EXE", 90, true},
      {"created at the moment the list was taken", "C:\\a\\KoraVane.exe", 100, true},
      {"created after the list", "C:\\a\\KoraVane.exe", 101, false},
      {"another image", "C:\\Windows\\notepad.exe", 90, false},
      {"image unread", std::nullopt, 90, true},
      {"image unread, created later", std::nullopt, 101, false},
      {"creation time unknown", "C:\\a\\KoraVane.exe", 0, true},
  };
  for (const Case& c : cases) EXPECT_EQ(is_listed_process("KoraVane.exe", c.image, c.created, 100), c.listed) << c.what;
}

}  // namespace
}  // namespace koravane
