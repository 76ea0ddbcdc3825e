// Contract failures: the default abort method, and a host's own.
#include <vorlith/integration.h>

#include <cstdio>
#include <cstring>

namespace vi = vorlith::integration;

// A host's abort method logs the message and the reason. When it returns, the failed
// check throws gsl::fail_fast, so the operation still stops.
void log_and_return(const char* const message) {
  std::printf("host log: %s (%s)\n", message, external_abort_reason());
}

int main() {
  vi::Multi_vector v(vi::type_double, false, 3);

  // The default abort method throws Contract_failure with the check's reason.
  try {
    vi::Integration_range::clamp_to_range(v, 5.0, 2.0, 0, -1);
  } catch (const vi::Contract_failure& failure) {
    std::printf("%s\n%s\n", failure.what(), failure.reason());
    if (std::strncmp(failure.what(), "GSL: Precondition failure at ", 29) != 0) return 1;
  }

  register_external_abort_method(log_and_return);
  try {
    v.erase(2, 5);  // the range passes the end of the vector
    return 1;
  } catch (const gsl::fail_fast& failure) {
    std::printf("stopped: %s\n", failure.what());
  }
  return v.get_length() == 3 ? 0 : 1;
}
