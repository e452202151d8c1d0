// libFuzzer target for what the removal reads from the user's files and registry: the shell-link
// reader takes the input as a .lnk file's bytes, the command parser as a command line, and what
// they give goes through the path decision. None may crash or trip a sanitizer; resolving the dots
// of a fully qualified path twice must give what resolving them once gave.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/path_text.h"
#include "removal/references/references.h"
#include "removal/references/shell_link.h"

namespace {

using namespace koravane;

const std::vector<PathForms> kAreas = {{"C:\\GAMES~1\\KoraVane", "C:\\Games\\KoraVane"},
                                       spelled_only("\\\\srv\\share\\KoraVane\\app-1")};

void decide(std::string_view target) {
  (void)points_into(target, kAreas);
  if (is_fully_qualified(target) && target.substr(0, 4) != "\\\\?\\") {
    const std::string once = lexically_normal(target);
    if (lexically_normal(once) != once) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto target = shortcut_target(bytes, [](std::string_view ansi) { return std::string(ansi); });
  if (target) {
    if (target->path.empty()) std::abort();  // a link that names nothing gives no target
    decide(expand_variables(target->path, [](std::string_view) { return std::string("C:\\x"); }));
  }
  const auto program = command_program(bytes, [](std::string_view path) { return path.size() % 3 == 0; });
  if (program) decide(*program);
  return 0;
}
