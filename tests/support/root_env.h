#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vellumar::testing {

// Root tests skip without root, unless the environment demands that they run (CI does).
inline bool RootTestsRequired() {
  const char* value = std::getenv("VELLUMAR_REQUIRE_ROOT_TESTS");
  return value != nullptr && std::string(value) == "1";
}

}  // namespace vellumar::testing

#define VELLUMAR_REQUIRE_ROOT()                                                                 \
  do {                                                                                          \
    if (::geteuid() != 0) {                                                                     \
      if (::vellumar::testing::RootTestsRequired()) {                                           \
        FAIL() << "VELLUMAR_REQUIRE_ROOT_TESTS=1 but the tests do not run as root";             \
      }                                                                                         \
      GTEST_SKIP() << "needs root (loop devices and mounts); run as root to include this test"; \
    }                                                                                           \
  } while (false)
