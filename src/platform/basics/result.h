#pragma once
// Failures are values: an operation returns its result or what went wrong, never throws.
#include <cstdint>
#include <utility>
#include <variant>

namespace koravane {

// A value of type T, or the error E that kept the operation from producing one. Dropping a
// Result on the floor is almost always a mistake, so the compiler says so; callers that really
// do not care cast it to void.
template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  Result(E error) : state_(std::move(error)) {}  // NOLINT: implicit by design

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  // Only for a failed result.
  const E& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

// A Win32 error code, taken right after the failing call.
struct OsError {
  uint32_t code;
};

template <class T>
using OsResult = Result<T, OsError>;

// Success or a Win32 error, for operations without a value.
using OsStatus = OsResult<std::monostate>;
inline OsStatus os_success() { return OsStatus(std::monostate{}); }

// The Win32 error of a status, 0 for success: for logic that reasons about particular codes.
inline uint32_t error_code(const OsStatus& status) { return status ? 0 : status.error().code; }

}  // namespace koravane
