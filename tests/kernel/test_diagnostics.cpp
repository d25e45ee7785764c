// A front end that recovers from a failed precondition (the Python module) gets every failure
// as an exception, not only the first one.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("tests\\kernel\\test_diagnostics");

TEST(Diagnostics, AThrowingHandlerTurnsEveryFailedAssertionIntoAnException)
{
  kvSetAssertionHandler([](const std::string& report) { throw std::logic_error(report); });
  for (int line : {1, 2}) {
    try {
      KV_ASSERT(line < 0, "line < 0");
      FAIL() << "the assertion did not fire";
    } catch (const std::logic_error& e) {
      EXPECT_NE(std::string(e.what()).find("Assertion failed: line < 0, unit tests\\kernel\\test_diagnostics"),
                std::string::npos)
          << e.what();
    }
  }
  kvSetAssertionHandler(nullptr);
}
