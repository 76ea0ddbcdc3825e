// Uses the installed library through its umbrella header only. Exits non-zero when a
// result differs from the documented one.
#include <vorlith/integration.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// Built by the package check at the level it asks for (C++17 and C++20): the package
// must not raise it.
#ifdef VORLITH_CONSUMER_STANDARD
static_assert(__cplusplus == VORLITH_CONSUMER_STANDARD, "the package changed the language level");
#endif

namespace vi = vorlith::integration;

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "consumer: FAILED: %s\n", what);
    ++failures;
  }
}

bool is_contract_message(std::string_view message) {
  constexpr std::string_view prefix = "GSL: Precondition failure at src/";
  return message.substr(0, prefix.size()) == prefix;
}

std::string returned_abort_message;
void returning_abort(const char* const message) { returned_abort_message = message; }

}  // namespace

int main() {
  const vi::Legacy_type doubles(vi::type_double);
  const vi::Legacy_type int16s(vi::type_int16);
  check(doubles.get_name() == "double", "name of double");
  check(vi::Legacy_type(std::int64_t{16}).get_name() == "opaque(16)", "name of opaque(16)");

  // Rounding half away from zero, saturation one short of the dummy, dummy to dummy.
  const double source[] = {2.5, -2.5, 1.0e9, -1.0e9, vorlith::common::dummy_value<double>};
  std::int16_t target[5] = {};
  doubles.convert_to(source, target, int16s, 5);
  const std::int16_t expected[5] = {3, -3, 32767, -32766, -32767};
  check(std::equal(target, target + 5, expected), "2.5, -2.5, 1e9, -1e9, dummy to int16");
  check(int16s.is_dummy(&target[4]), "is_dummy on int16 dummy");

  check(get_integration_min_thread_block() == 16384, "default minimum thread block");

  // The exception types must cross the library boundary intact (the class the library
  // throws, and its base as a host catches it).
  bool thrown = false;
  try {
    vi::Legacy_type opaque_code(vi::type_opaque);
  } catch (const vi::Contract_failure& error) {
    thrown = true;
    check(is_contract_message(error.what()), "contract message prefix");
  }
  check(thrown, "opaque code without a width fails its contract");

  // A host abort method that returns is called, and the operation still stops.
  register_external_abort_method(returning_abort);
  thrown = false;
  try {
    vi::Legacy_type bad(static_cast<vi::legacy_data_type>(99));
  } catch (const gsl::fail_fast&) {
    thrown = true;
  }
  check(thrown, "returning abort method does not let the operation go on");
  check(is_contract_message(returned_abort_message), "host abort method received the message");

  if (failures == 0) std::puts("consumer: all checks passed");
  return failures == 0 ? 0 : 1;
}
