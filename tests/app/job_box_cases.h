// The boxes a job can have open when the user presses Exit, and how the in-process
// handheld brings each about: the dialog tests of the controller and of both views go
// through the same three.
#pragma once

#include "link/fake/fake_service.h"

namespace lexora::test {

enum class JobBoxCase { SizeQuestion, OkBox, Password };
inline constexpr JobBoxCase kJobBoxCases[] = {JobBoxCase::SizeQuestion, JobBoxCase::OkBox,
                                              JobBoxCase::Password};

// The size question comes of itself once a file is selected; the OK box is the open
// failure's; the password dialog comes from a challenge.
inline void arrangeJobBox(FakeService& fake, JobBoxCase which) {
  if (which == JobBoxCase::OkBox) fake.failCall(FakeService::Call::OpenChannel);
  if (which == JobBoxCase::Password) fake.setPassword(u"secret", 3);
}

}  // namespace lexora::test
