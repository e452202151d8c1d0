#include <gtest/gtest.h>

#include <map>

#include "platform/text/path_text.h"
#include "removal/steps/held_by_this_run.h"

namespace koravane {
namespace {

// Folders by their spelling, with what each spelling resolves to; files that cannot be opened
// (their deletion waits for their last handle) have no identity.
class FakeHeldProbe final : public HeldFilesProbe {
 public:
  std::map<std::string, std::vector<std::string>> folders;
  std::map<std::string, uint64_t> ids;
  std::map<std::string, std::string> finals;
  std::optional<FileIdentity> identity(const std::string& path) const override {
    const auto id = ids.find(path);
    if (id == ids.end()) return std::nullopt;
    return FileIdentity{1, id->second, 0};
  }
  std::optional<std::string> final_path(const std::string& path) const override {
    if (const auto final = finals.find(path); final != finals.end()) return final->second;
    if (folders.count(path) != 0 || ids.count(path) != 0) return path;
    return std::nullopt;
  }
  std::optional<std::vector<std::string>> names_in(const std::string& folder) const override {
    const auto names = folders.find(folder);
    if (names == folders.end()) return std::nullopt;
    return names->second;
  }
};

// The root K:\R holds logs\out.txt, which this run's output was redirected into.
TEST(HeldByThisRun, WhatStaysOnlyForTheRunsOwnFilesGoesWithTheRun) {
  const std::vector<HeldFile> output = {{std::nullopt, "K:\\R\\logs\\out.txt"}};
  const std::vector<HeldFile> held_open = {{FileIdentity{1, 5, 0}, "K:\\R\\out.txt"}};
  const std::vector<HeldFile> deeper_output = {{std::nullopt, "K:\\R\\a\\logs\\out.txt"}};
  struct Case {
    const char* what;
    std::map<std::string, std::vector<std::string>> folders;
    StayedEntries stayed;
    const std::vector<HeldFile>& held;
    bool only_this_run;
  };
  const Case cases[] = {
      {"a folder left only by the pending output", {{"K:\\R\\logs", {"out.txt"}}}, {{"K:\\R\\logs", 145}}, output, true},
      {"the folder with something else in it", {{"K:\\R\\logs", {"out.txt", "latest.log"}}}, {{"K:\\R\\logs", 145}},
       output, false},
      {"a folder on the way to it", {{"K:\\R\\a", {"logs"}}, {"K:\\R\\a\\logs", {"out.txt"}}}, {{"K:\\R\\a", 145}},
       deeper_output, true},
      {"a folder on the way to it, with something else further down",
       {{"K:\\R\\a", {"logs"}}, {"K:\\R\\a\\logs", {"out.txt", "w.dat"}}}, {{"K:\\R\\a", 145}},
       deeper_output, false},
      {"a folder beside it", {{"K:\\R\\saves", {"w.dat"}}}, {{"K:\\R\\saves", 145}}, output, false},
      {"a folder that cannot be listed", {}, {{"K:\\R\\logs", 145}}, output, false},
      {"the held file itself, by what it is", {}, {{"K:\\R\\out.txt", 32}}, held_open, true},
      {"another file held open", {}, {{"K:\\R\\save.dat", 32}}, held_open, false},
      {"nothing held by the run", {{"K:\\R\\logs", {"out.txt"}}}, {{"K:\\R\\logs", 145}}, {}, false},
      {"nothing stayed", {}, {}, output, false},
  };
  for (const Case& c : cases) {
    FakeHeldProbe probe;
    probe.folders = c.folders;
    probe.ids = {{"K:\\R\\out.txt", 5}, {"K:\\R\\save.dat", 6}};
    EXPECT_EQ(stayed_only_for_this_run(c.stayed, c.held, probe), c.only_this_run) << c.what;
  }
}

// The root spelled through a link or an 8.3 name: the folder's entries are compared at its final path.
TEST(HeldByThisRun, TheFolderIsComparedByItsFinalPath) {
  FakeHeldProbe probe;
  probe.folders = {{"K:\\LINK\\logs", {"out.txt"}}};
  probe.finals = {{"K:\\LINK\\logs", "K:\\Real\\logs"}};
  EXPECT_TRUE(stayed_only_for_this_run({{"K:\\LINK\\logs", 145}}, {{std::nullopt, "K:\\Real\\logs\\out.txt"}}, probe));
  EXPECT_FALSE(stayed_only_for_this_run({{"K:\\LINK\\logs", 145}}, {{std::nullopt, "K:\\LINK2\\logs\\out.txt"}}, probe));
}

}  // namespace
}  // namespace koravane
