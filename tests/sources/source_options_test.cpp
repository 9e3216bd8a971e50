#include "sources/source_options.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace lexora {
namespace {

// The dialog's only way to keep markup fields: the entry must be the one users are told of.
TEST(SourceOptions, MarkupIsKeptAsTextOnlyWhenTheSettingSaysText) {
  test::SettingsRedirect redirect;
  Settings settings("Lexora");
  EXPECT_FALSE(storedSourceOptions(settings).markupAsText);
  ASSERT_TRUE(settings.write(u"Sources", u"markup", u"Text"));
  EXPECT_TRUE(storedSourceOptions(settings).markupAsText);
  ASSERT_TRUE(settings.write(u"Sources", u"markup", u"drop"));
  EXPECT_FALSE(storedSourceOptions(settings).markupAsText);
}

}  // namespace
}  // namespace lexora
