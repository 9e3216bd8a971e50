#include "support/test_support.h"

namespace lexora::test {

bool runningUnderWine() {
  return false;
}

}  // namespace lexora::test
