// What only the COM path has: the class that is not registered, a device manager that
// cannot be run or does not answer the manager's id. (Everything else the link tests show
// over both routes.)
#include <gtest/gtest.h>

#include <chrono>

#include "link/com/com_service_win.h"
#include "link/com/in_process_server.h"
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
  for (const test::ServerFaults faults :
       {test::ServerFaults{true, false}, test::ServerFaults{false, true}}) {
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

}  // namespace
}  // namespace lexora
