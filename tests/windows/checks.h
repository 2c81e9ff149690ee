// Checking for the Windows test programs, which run under Wine without a test framework: each
// failed check prints what was expected and what came, and the exit code says whether any did.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

class Checks {
 public:
  bool Expect(bool ok, const std::string& what) {
    ++(ok ? passed_ : failed_);
    if (!ok) std::printf("FAILED: %s\n", what.c_str());
    return ok;
  }

  template <class Actual, class Expected>
  bool ExpectEqual(const Actual& actual, const Expected& expected, const std::string& what) {
    if (actual == expected) return Expect(true, what);
    std::ostringstream text;
    text << what << ": got " << actual << ", expected " << expected;
    return Expect(false, text.str());
  }

  // Prints the count of checks and returns the program's exit code.
  int Summary() const {
    std::printf("%d passed, %d failed\n", passed_, failed_);
    return failed_ == 0 ? 0 : 1;
  }

 private:
  int passed_ = 0;
  int failed_ = 0;
};
