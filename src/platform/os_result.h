#pragma once
// Failures are values: an operation returns its result or the Win32 error code of the failing call.
#include <cstdint>
#include <utility>
#include <variant>

namespace koravane {

struct OsError {
  uint32_t code;
};

template <class T>
class OsResult {
 public:
  OsResult(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  OsResult(OsError error) : state_(error) {}        // NOLINT: implicit by design

  bool ok() const { return std::holds_alternative<T>(state_); }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return std::get<T>(state_); }
  T& value() & { return std::get<T>(state_); }
  T&& value() && { return std::get<T>(std::move(state_)); }
  uint32_t error() const { return ok() ? 0 : std::get<OsError>(state_).code; }

 private:
  std::variant<T, OsError> state_;
};

// Success or an error code, for operations without a value.
using OsStatus = OsResult<std::monostate>;
inline OsStatus os_success() { return OsStatus(std::monostate{}); }

}  // namespace koravane
