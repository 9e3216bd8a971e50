// USBLink against the in-process service, reached directly and (on Windows) through COM:
// the open sequence and its failures, chunked writes, message reads, close and the
// object's lifetime.
#include "link/usb_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "link/fake/fake_service.h"
#include "link/service_route.h"
#include "support/test_support.h"

namespace lexora {
namespace {

using namespace std::chrono_literals;
using Call = FakeService::Call;
using Fault = FakeService::Fault;
using test::RoutedService;
using test::ServiceRoute;

std::vector<size_t> writeSizes(const FakeService& fake) {
  std::vector<size_t> sizes;
  for (const auto& w : fake.writes()) sizes.push_back(w.bytes.size());
  return sizes;
}

std::vector<uint8_t> counting(size_t n) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  return bytes;
}

class LinkTest : public ::testing::TestWithParam<ServiceRoute> {
 protected:
  void SetUp() override { USBLink::resetSendChunkSizeForTesting(); }
  void TearDown() override { USBLink::resetSendChunkSizeForTesting(); }

  Ref<USBLink> makeLink(LinkWaits waits = {200ms, 200ms}) {
    return USBLink::create(kChannelName, ui, route.factory(), waits);
  }
  Ref<USBLink> openLink(LinkWaits waits = {200ms, 200ms}) {
    Ref<USBLink> link = makeLink(waits);
    EXPECT_EQ(link->Open(), 0);
    return link;
  }

  test::ScriptedUserInterface ui;
  FakeService fake;
  RoutedService route{GetParam(), fake.factory()};
};

using LinkOpenFailures = ::testing::TestWithParam<ServiceRoute>;

TEST_P(LinkTest, OpenWalksToTheFirstDeviceAndOpensTheNamedChannel) {
  Ref<USBLink> link = openLink();
  EXPECT_EQ(fake.calls(),
            (std::vector<std::string>{
                "CreateManager", "GetDevices", "DeviceCount", "GetDevice(0)", "GetProperties",
                "PropertyCount", "GetProperty(0)", "PropertyName(0)", "PropertyValue(0)",
                "GetProperty(1)", "PropertyName(1)", "PropertyValue(1)", "OpenChannel(Lexora)"}));
  // Everything but the channel is given back before Open returns.
  EXPECT_EQ(fake.liveObjects(), 1);
  EXPECT_TRUE(fake.holdsSink());
  link->Close();
  link.reset();
  fake.settle();
  EXPECT_EQ(fake.liveObjects(), 0);
  EXPECT_FALSE(fake.holdsSink());
}

TEST_P(LinkTest, NoDeviceFailsBeforeAnyPropertyOrChannel) {
  fake.setDevices({});
  Ref<USBLink> link = makeLink();
  EXPECT_EQ(link->Open(), -1);
  EXPECT_EQ(fake.calls().back(), "DeviceCount");
  EXPECT_EQ(fake.liveObjects(), 0);
}

TEST_P(LinkTest, OnlyTheFirstOfTwoDevicesIsUsed) {
  fake.setDevices({{{u"Name", Variant::fromString(u"first")}},
                   {{u"BBPIN", Variant::fromString(u"not a number")}}});
  Ref<USBLink> link = openLink();
  for (const auto& call : fake.calls()) EXPECT_NE(call, "GetDevice(1)");
  link->Close();
}

TEST_P(LinkOpenFailures, EveryFailingCallFailsOpenAndReleasesWhatWasObtained) {
  struct Case {
    Call call;
    Fault fault;
  };
  const std::vector<Case> cases = {
      {Call::CreateManager, Fault::Error},      {Call::CreateManager, Fault::NullResult},
      {Call::GetDevices, Fault::Error},         {Call::GetDevices, Fault::NullResult},
      {Call::DeviceCount, Fault::Error},        {Call::GetDevice, Fault::Error},
      {Call::GetDevice, Fault::NullResult},     {Call::GetProperties, Fault::Error},
      {Call::GetProperties, Fault::NullResult}, {Call::PropertyCount, Fault::Error},
      {Call::GetProperty, Fault::Error},        {Call::GetProperty, Fault::NullResult},
      {Call::PropertyName, Fault::Error},       {Call::PropertyValue, Fault::Error},
      {Call::OpenChannel, Fault::Error},        {Call::OpenChannel, Fault::NullResult},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.call) * 10 + static_cast<int>(c.fault));
    test::ScriptedUserInterface ui;
    FakeService fake;
    fake.failCall(c.call, c.fault);
    RoutedService route(GetParam(), fake.factory());
    Ref<USBLink> link = USBLink::create(kChannelName, ui, route.factory(), {100ms, 100ms});
    EXPECT_EQ(link->Open(), -1);
    EXPECT_EQ(fake.liveObjects(), 0);
    EXPECT_FALSE(fake.holdsSink());
    // Without a channel, writes fail rather than touch anything.
    const uint8_t byte = 1;
    EXPECT_FALSE(link->WriteBytes(&byte, 1));
  }
}

// A class nobody registered is software that is not installed; any other failure to
// reach the service stays the silence of no handheld.
TEST(LinkOpen, AServiceClassNotRegisteredIsSoftwareNotInstalled) {
  for (const HResult created : {kClassNotRegistered, kEFail}) {
    SCOPED_TRACE(created);
    test::ScriptedUserInterface ui;
    Ref<USBLink> link = USBLink::create(
        kChannelName, ui, [created](IDeviceManager**) { return created; }, {100ms, 100ms});
    EXPECT_EQ(link->Open(), -1);
    EXPECT_EQ(link->openFailure(), created == kClassNotRegistered ? OpenFailure::ServiceNotInstalled
                                                                  : OpenFailure::NoHandheld);
  }
}

TEST_P(LinkTest, OnlyAnExactBbpinPropertyMustHoldANumber) {
  struct Case {
    std::vector<FakeService::Property> properties;
    int expected;
  };
  const std::vector<Case> cases = {
      {{}, 0},
      {{{u"Name", Variant::fromString(u"x")}}, 0},
      {{{u"BBPIN", Variant::fromInt32(7)}}, 0},
      {{{u"BBPIN", Variant::fromString(u" -12345 ")}}, 0},
      {{{u"BBPIN", Variant{}}}, 0},
      {{{u"BBPIN", Variant::fromString(u"2A3B4C5D")}}, -1},
      {{{u"BBPIN", Variant::fromString(u"99999999999")}}, -1},
      {{{u"BBPINX", Variant::fromString(u"abc")}}, 0},
      {{{u"bbpin", Variant::fromString(u"abc")}}, 0},
      {{{u"BBPI", Variant::fromString(u"abc")}}, 0},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    FakeService service;
    service.setDevices({cases[i].properties});
    RoutedService routed(GetParam(), service.factory());
    Ref<USBLink> link = USBLink::create(kChannelName, ui, routed.factory(), {100ms, 100ms});
    EXPECT_EQ(link->Open(), cases[i].expected);
    if (cases[i].expected == 0) link->Close();
    link.reset();
    service.settle();
    EXPECT_EQ(service.liveObjects(), 0);
  }
}

TEST_P(LinkTest, WriteBytesCutsIntoChunksOfTheChunkSize) {
  Ref<USBLink> link = openLink();
  const auto data = counting(2500);
  EXPECT_TRUE(link->WriteBytes(data.data(), 2500));
  EXPECT_EQ(writeSizes(fake), (std::vector<size_t>{1024, 1024, 452}));
  EXPECT_EQ(fake.acceptedBytes(), data);
  EXPECT_TRUE(link->WriteBytes(nullptr, 0));
  EXPECT_EQ(fake.writes().size(), 3u);
  link->Close();
}

TEST_P(LinkTest, WriteBlockSendsTheHeaderAndTheDataSeparately) {
  Ref<USBLink> link = openLink();
  const auto data = counting(300);
  EXPECT_EQ(link->WriteBlock(nullptr, 0), 0);
  EXPECT_EQ(link->WriteBlock(data.data(), 300), 0);
  const auto writes = fake.writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].bytes, (std::vector<uint8_t>{0x00, 0x00}));
  EXPECT_EQ(writes[1].bytes, (std::vector<uint8_t>{0x01, 0x2C}));
  EXPECT_EQ(writes[2].bytes, data);
  // A length the 16-bit header cannot carry is refused before anything is sent.
  const std::vector<uint8_t> big(65536);
  EXPECT_EQ(link->WriteBlock(big.data(), 65536), -1);
  EXPECT_EQ(link->WriteBlock(big.data(), -1), -1);
  EXPECT_EQ(fake.writes().size(), 3u);
  link->Close();
}

TEST_P(LinkTest, AFailedChunkIsRetriedAtHalfSizeAndTheSizeStaysHalvedForLaterLinks) {
  fake.setWriteFilter([](size_t index, auto) { return index != 0; });
  Ref<USBLink> link = openLink();
  const auto data = counting(2500);
  EXPECT_TRUE(link->WriteBytes(data.data(), 2500));
  EXPECT_EQ(writeSizes(fake), (std::vector<size_t>{1024, 512, 512, 512, 512, 452}));
  EXPECT_EQ(fake.acceptedBytes(), data);
  EXPECT_EQ(USBLink::sendChunkSize(), 512);
  link->Close();
  link.reset();

  FakeService next;
  RoutedService nextRoute(GetParam(), next.factory());
  Ref<USBLink> later = USBLink::create(kChannelName, ui, nextRoute.factory(), {100ms, 100ms});
  ASSERT_EQ(later->Open(), 0);
  EXPECT_TRUE(later->WriteBytes(data.data(), 1024));
  EXPECT_EQ(writeSizes(next), (std::vector<size_t>{512, 512}));
  later->Close();
}

TEST_P(LinkTest, ElevenFailuresBringTheChunkSizeToZeroForGood) {
  fake.setWriteFilter([](size_t, auto) { return false; });
  Ref<USBLink> link = openLink();
  const auto data = counting(2000);
  EXPECT_FALSE(link->WriteBytes(data.data(), 2000));
  EXPECT_EQ(writeSizes(fake), (std::vector<size_t>{1024, 512, 256, 128, 64, 32, 16, 8, 4, 2, 1}));
  EXPECT_EQ(USBLink::sendChunkSize(), 0);
  EXPECT_FALSE(link->WriteBytes(data.data(), 1));
  EXPECT_EQ(link->WriteBlock(data.data(), 0), -1);
  EXPECT_TRUE(link->WriteBytes(data.data(), 0));
  EXPECT_EQ(fake.writes().size(), 11u);
  link->Close();
}

TEST_P(LinkTest, ReadMessageAcceptsOnlyReadsOfExactlyTheAnnouncedSize) {
  Ref<USBLink> link = openLink();
  uint8_t type = 0;
  std::vector<uint8_t> payload;
  int32_t length = 0;

  fake.deliver({0x64, 0x00, 0x02, 0x41, 0x42});
  EXPECT_EQ(link->ReadMessage(type, payload, length), 0);
  EXPECT_EQ(type, 100);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(payload, (std::vector<uint8_t>{0x41, 0x42}));

  fake.deliver({0x64, 0x00, 0x00});
  EXPECT_EQ(link->ReadMessage(type, payload, length), 0);
  EXPECT_EQ(length, 0);
  EXPECT_TRUE(payload.empty());

  const std::vector<std::vector<uint8_t>> bad = {
      {0x65, 0x00, 0x02, 0x41}, {0x65, 0x00}, {0x65, 0x00, 0x00, 0x00}, {}};
  for (const auto& message : bad) {
    type = 7;
    payload = {9};
    length = 9;
    fake.deliver(message);
    EXPECT_EQ(link->ReadMessage(type, payload, length), -1);
    EXPECT_EQ(type, 7);
    EXPECT_EQ(payload, std::vector<uint8_t>{9});
    EXPECT_EQ(length, 9);
  }

  std::vector<uint8_t> largest(65535, 0x5A);
  largest[0] = 100;
  largest[1] = 0xFF;
  largest[2] = 0xFC;
  fake.deliver(largest);
  EXPECT_EQ(link->ReadMessage(type, payload, length), 0);
  EXPECT_EQ(length, 65532);
  link->Close();
}

TEST_P(LinkTest, ReadMessageGivesUpAfterTheDataWaitOrAtOnceAfterTheCloseReport) {
  Ref<USBLink> link = openLink({150ms, 100ms});
  uint8_t type = 0;
  std::vector<uint8_t> payload;
  int32_t length = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link->ReadMessage(type, payload, length), -1);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 150ms);
  EXPECT_LT(waited, 5s);

  // A failed channel read counts as no message.
  fake.queueReply(FakeService::failedRead());
  const uint8_t end[3] = {4, 0, 0};
  ASSERT_TRUE(link->WriteBytes(end, 3));
  EXPECT_EQ(link->ReadMessage(type, payload, length), -1);

  // Data that arrived before the close is still read; after it, nothing is waited for.
  fake.deliver({0x64, 0x00, 0x00});
  fake.reportClosed();
  fake.settle();
  EXPECT_EQ(link->ReadMessage(type, payload, length), 0);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(link->ReadMessage(type, payload, length), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
  link->Close();
}

TEST_P(LinkTest, QueryInterfaceAnswersOnlyTheSinkAndTheBaseInterface) {
  Ref<USBLink> link = makeLink();
  void* out = nullptr;
  EXPECT_EQ(link->QueryInterface(IChannelEvents::kIid, &out), kSOk);
  EXPECT_EQ(out, static_cast<IChannelEvents*>(link.get()));
  EXPECT_EQ(link->QueryInterface(kIidObject, &out), kSOk);
  EXPECT_EQ(link->Release(), 2u);
  EXPECT_EQ(link->Release(), 1u);
  void* untouched = &out;
  EXPECT_EQ(link->QueryInterface(IChannel::kIid, &untouched), kENoInterface);
  EXPECT_EQ(untouched, &out);
  EXPECT_EQ(link->AddRef(), 2u);
  EXPECT_EQ(link->Release(), 1u);
}

TEST_P(LinkTest, CloseWaitsOnlyBrieflyForACloseReportThatNeverComes) {
  fake.setCloseReport(false);
  Ref<USBLink> link = openLink({100ms, 150ms});
  const auto start = std::chrono::steady_clock::now();
  link->Close();
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 150ms);
  EXPECT_LT(waited, 5s);
  link.reset();
  fake.settle();
  EXPECT_EQ(fake.liveObjects(), 0);
}

TEST_P(LinkTest, TheLinkOutlivesItsOwnerWhileTheServiceMayStillCallIt) {
  fake.setCloseReport(true, 300);
  Ref<USBLink> link = openLink({100ms, 10ms});
  link->Close();  // gives up waiting long before the report comes
  link.reset();
  EXPECT_TRUE(fake.holdsSink());
  fake.settle();  // the report reaches a live object, which then goes
  EXPECT_FALSE(fake.holdsSink());
}

TEST_P(LinkTest, ReferencesFromManyThreadsDestroyTheObjectOnce) {
  Ref<USBLink> link = makeLink();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([raw = link.get()] {
      for (int i = 0; i < 10000; ++i) {
        raw->AddRef();
        raw->Release();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(link->AddRef(), 2u);
  EXPECT_EQ(link->Release(), 1u);
}

// A service in another process whose interfaces this program cannot call is not "no
// handheld": the user has a registration to repair, not a cable to check.
TEST(LinkOpen, AServiceThisProgramCannotCallIsNamedAsSuch) {
  test::ScriptedUserInterface ui;
  Ref<USBLink> link = USBLink::create(
      kChannelName, ui, [](IDeviceManager**) { return kInterfaceNotRegistered; }, {100ms, 100ms});
  EXPECT_EQ(link->Open(), -1);
  EXPECT_EQ(link->openFailure(), OpenFailure::InterfaceNotRegistered);
}

INSTANTIATE_TEST_SUITE_P(Services, LinkTest, ::testing::ValuesIn(test::serviceRoutes()),
                         test::routeName);
INSTANTIATE_TEST_SUITE_P(Services, LinkOpenFailures, ::testing::ValuesIn(test::serviceRoutes()),
                         test::routeName);

}  // namespace
}  // namespace lexora
