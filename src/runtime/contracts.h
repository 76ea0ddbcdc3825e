#pragma once
// Contract checks. A failed check calls the host's abort method with
// "GSL: Precondition failure at <file>: <line>"; if that method returns, the check
// throws itself, so no operation continues past a failed check. Every check gives a
// short plain reason after the condition: the operation, the argument and, where they
// are at hand, the values ("clamp_to_range: minimum ", min, " is above maximum ", max).
// The reason is built only when the check fails.

#include <charconv>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#define VORLITH_STRINGIFY_DETAIL(x) #x
#define VORLITH_STRINGIFY(x) VORLITH_STRINGIFY_DETAIL(x)

namespace vorlith::detail {

[[noreturn]] void contract_failure(const char* message, const std::string& reason);

/// The one rule for a caller's buffer or value pointer: it may be null only when the
/// call uses none of its count elements. Members check it before anything changes.
void expect_caller_data(const void* data, std::int64_t count, const char* operation,
                        const char* argument);

inline void append_reason(std::string& reason, std::string_view text) { reason += text; }

template <class T>
requires(std::integral<T> || std::floating_point<T>) &&
    (!std::same_as<T, bool>)void append_reason(std::string& reason, T value) {
  char digits[64];
  const auto written = std::integral<T> ? std::to_chars(digits, digits + sizeof digits, +value)
                                        : std::to_chars(digits, digits + sizeof digits, value);
  reason.append(digits, written.ptr);
}

template <class... Parts>
[[noreturn]] void contract_failure_because(const char* message, const Parts&... parts) {
  static_assert(sizeof...(Parts) > 0, "every contract check needs a reason");
  std::string reason;
  (append_reason(reason, parts), ...);
  contract_failure(message, reason);
}

}  // namespace vorlith::detail

#define VORLITH_CONTRACT_FAILURE(kind, ...)                                                   \
  ::vorlith::detail::contract_failure_because("GSL: " kind " failure at " __FILE__            \
                                              ": " VORLITH_STRINGIFY(__LINE__) __VA_OPT__(, ) \
                                                  __VA_ARGS__)

#define VORLITH_CONTRACT_CHECK(kind, cond, ...) \
  ((cond) ? static_cast<void>(0) : VORLITH_CONTRACT_FAILURE(kind __VA_OPT__(, ) __VA_ARGS__))

#define VORLITH_EXPECTS(cond, ...) \
  VORLITH_CONTRACT_CHECK("Precondition", cond __VA_OPT__(, ) __VA_ARGS__)
#define VORLITH_ENSURES(cond, ...) \
  VORLITH_CONTRACT_CHECK("Postcondition", cond __VA_OPT__(, ) __VA_ARGS__)
