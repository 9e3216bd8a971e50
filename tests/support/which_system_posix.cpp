#include "support/test_support.h"

namespace lexora::test {

bool runningOnWindows() {
  return false;
}

bool runningUnderWine() {
  return false;
}

}  // namespace lexora::test
