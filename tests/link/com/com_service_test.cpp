// What only the COM path has: the class that is not registered, a device manager that
// cannot be run or does not answer the manager's id, property values and names of the kinds
// only a COM server hands out, and the BSTRs, VARIANTs and sink references the client must
// give back. (Everything else the link tests show over both routes.)
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "link/com/com_service_win.h"
#include "link/com/in_process_server.h"
#include "link/com/server_counts.h"
#include "link/fake/fake_service.h"
#include "link/usb_link.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;

TEST(ComService, AClassNobodyRegisteredIsSoftwareNotInstalled) {
  test::ScriptedUserInterface ui;
  {
    // Joins the apartment the way the servers below do, then leaves the class unregistered.
    FakeService fake;
    test::InProcessServer joined(fake.factory());
  }
  IDeviceManager* manager = nullptr;
  EXPECT_TRUE(failed(vendorServiceFactory()(&manager)));
  EXPECT_EQ(manager, nullptr);
  Ref<USBLink> link = USBLink::create(kChannelName, ui, vendorServiceFactory(), {100ms, 100ms});
  EXPECT_EQ(link->Open(), -1);
  EXPECT_EQ(link->openFailure(), OpenFailure::ServiceNotInstalled);
  const uint8_t byte = 1;
  EXPECT_FALSE(link->WriteBytes(&byte, 1));
}

TEST(ComService, AManagerThatCannotRunOrAnswerFailsOpenAndIsGivenBack) {
  for (const test::ServerFaults& faults :
       {test::ServerFaults{true, false, {}}, test::ServerFaults{false, true, {}}}) {
    SCOPED_TRACE(faults.refuseRun ? "run refused" : "no manager interface");
    test::ScriptedUserInterface ui;
    FakeService fake;
    test::InProcessServer server(fake.factory(), faults);
    Ref<USBLink> link = USBLink::create(kChannelName, ui, vendorServiceFactory(), {100ms, 100ms});
    EXPECT_EQ(link->Open(), -1);
    EXPECT_EQ(link->openFailure(), OpenFailure::NoHandheld);
    EXPECT_EQ(fake.calls(), std::vector<std::string>{"CreateManager"});
    EXPECT_EQ(fake.liveObjects(), 0);
  }
}

// What the server still has out, once the service's own threads have let go (up to 2 s).
std::string outstanding() {
  const auto counts = [] {
    const test::ServerCounts c = test::liveServerObjects();
    return std::to_string(c.bstrs) + " BSTRs, " + std::to_string(c.variantObjects) +
           " variant objects, " + std::to_string(c.sinkReferences) + " sink references";
  };
  for (int i = 0; i < 200 && !(test::liveServerObjects() == test::ServerCounts{}); ++i) {
    std::this_thread::sleep_for(10ms);
  }
  return counts();
}
constexpr char kNothingOutstanding[] = "0 BSTRs, 0 variant objects, 0 sink references";

TEST(ComService, TheServerSeesEveryBstrItHandsOutComeBack) {
  // Otherwise every count of BSTRs below would read 0 whatever the client does.
  EXPECT_TRUE(test::bstrsAreCounted());
}

TEST(ComService, AWholeOpenAndCloseGivesBackEveryNameValueAndSinkReference) {
  test::ScriptedUserInterface ui;
  FakeService fake;
  {
    test::InProcessServer server(fake.factory());
    Ref<USBLink> link = USBLink::create(kChannelName, ui, vendorServiceFactory(), {100ms, 100ms});
    ASSERT_EQ(link->Open(), 0);
    EXPECT_EQ(test::liveServerObjects().sinkReferences, 1);
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(link->WriteBlock(bytes, 3), 0);
    link->Close();
  }
  EXPECT_EQ(outstanding(), kNothingOutstanding);
  EXPECT_EQ(fake.liveObjects(), 0);
}

TEST(ComService, PropertiesOfEveryKindAreJudgedAsVariantChangeTypeJudgesThem) {
  using Name = test::OddProperty::Name;
  using Value = test::OddProperty::Value;
  const struct {
    const char* what;
    test::OddProperty odd;
    OpenFailure failure;  // None: the channel opens
  } cases[] = {
      {"BBPIN null", {Name::Pin, Value::Null}, OpenFailure::PinNotANumber},
      {"BBPIN true", {Name::Pin, Value::True}, OpenFailure::None},
      {"BBPIN 2.5", {Name::Pin, Value::Real}, OpenFailure::None},
      {"BBPIN 2^40", {Name::Pin, Value::Huge}, OpenFailure::PinNotANumber},
      {"BBPIN an object", {Name::Pin, Value::Dispatch}, OpenFailure::PinNotANumber},
      {"a null name", {Name::Null, Value::Text}, OpenFailure::None},
      // Its first six ANSI bytes are "BBPIN" and the terminating zero.
      {"BBPIN, NUL, X", {Name::PinThenNul, Value::Text}, OpenFailure::PinNotANumber},
      {"a 300-byte name", {Name::Long, Value::Text}, OpenFailure::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScriptedUserInterface ui;
    FakeService fake;
    test::ServerFaults faults;
    faults.oddProperties = {c.odd};
    {
      test::InProcessServer server(fake.factory(), faults);
      Ref<USBLink> link = USBLink::create(kChannelName, ui, vendorServiceFactory(), {100ms, 100ms});
      EXPECT_EQ(link->Open(), c.failure == OpenFailure::None ? 0 : -1);
      EXPECT_EQ(link->openFailure(), c.failure);
      if (c.failure == OpenFailure::None) link->Close();
    }
    EXPECT_EQ(outstanding(), kNothingOutstanding);
    EXPECT_EQ(fake.liveObjects(), 0);
  }
}

}  // namespace
}  // namespace lexora
