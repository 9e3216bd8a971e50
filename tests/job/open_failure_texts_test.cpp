#include "job/open_failure_texts.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/ui_language.h"
#include "support/test_support.h"

namespace lexora {
namespace {

// A failure without words of its own would borrow another's and send the user after the
// wrong cause.
TEST(OpenFailureTexts, EveryFailureHasItsOwnReasonInBothLanguages) {
  for (const UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
    test::LanguageScope scope(language);
    std::set<std::u16string> alone;
    std::set<std::u16string> at;
    const int last = static_cast<int>(OpenFailure::InterfaceNotRegistered);
    for (int f = static_cast<int>(OpenFailure::NoHandheld); f <= last; ++f) {
      alone.emplace(pick(openFailureReason(static_cast<OpenFailure>(f))));
      at.emplace(pick(openFailureReasonAt(static_cast<OpenFailure>(f))));
    }
    EXPECT_EQ(alone.size(), static_cast<size_t>(last));
    EXPECT_EQ(at.size(), static_cast<size_t>(last));
  }
}

}  // namespace
}  // namespace lexora
