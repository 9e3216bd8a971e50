#include "job/open_failure_texts.h"

namespace lexora {
namespace {

constexpr BilingualText kOpenFailed{
    u"打开USB通道失败！\n请检查：\n1、手机连接是否正常\n2、手机上是否已运行Lexora",
    u"Open USB link failed!\nPlease check: \n1. Is mobile phone connected to PC correctly\n2. Is "
    u"Lexora running on mobile phone"};

struct ReasonTexts {
  BilingualText alone;
  BilingualText at;
};

constexpr ReasonTexts kNoHandheld{{u"没有手机应答。", u"No handheld answered."},
                                  {u"没有手机在此地址应答：", u"No handheld answered at "}};
constexpr ReasonTexts kDeviceUnreadable{
    {u"手机已应答，但无法读取其属性。",
     u"The handheld answered, but its properties could not be read."},
    {u"手机已应答，但无法读取其属性：",
     u"The handheld answered, but its properties could not be read at "}};
constexpr ReasonTexts kPinNotANumber{
    {u"手机已应答，但其BBPIN属性不是数字。",
     u"The handheld answered, but its BBPIN property is not a number."},
    {u"手机已应答，但其BBPIN属性不是数字：",
     u"The handheld answered, but its BBPIN property is not a number at "}};
constexpr ReasonTexts kPasswordCancelled{
    {u"密码输入已取消，未打开通道。", u"The password was cancelled, so no channel was opened."},
    {u"密码输入已取消，未打开通道：", u"The password was cancelled, so no channel was opened at "}};
constexpr ReasonTexts kPasswordRefused{
    {u"密码错误，手机拒绝打开通道。", u"The password was wrong; the handheld refused the channel."},
    {u"密码错误，手机拒绝打开通道：",
     u"The password was wrong; the handheld refused the channel at "}};
constexpr ReasonTexts kChannelRefused{
    {u"手机已应答，但拒绝打开通道。", u"The handheld answered, but refused the channel."},
    {u"手机已应答，但拒绝打开通道：", u"The handheld answered, but refused the channel at "}};
constexpr ReasonTexts kTurnedAway{
    {u"手机已应答，但拒绝了这次连接。", u"The handheld answered, but turned the connection away."},
    {u"手机已应答，但拒绝了这次连接：",
     u"The handheld answered, but turned the connection away at "}};

// No address was tried: the software that would have answered is not there.
constexpr ReasonTexts kServiceNotInstalled{
    {u"手机的连接软件未安装。", u"The handheld's connectivity software is not installed."},
    {u"手机的连接软件未安装，无人应答：",
     u"The handheld's connectivity software is not installed, so nothing answered at "}};

// The service runs in a process of its own and this program cannot call into it: a 64-bit
// program, say, with a service that registered its proxy/stub for 32-bit programs only.
constexpr ReasonTexts kInterfaceNotRegistered{
    {u"连接服务的接口未为本程序注册（没有代理/存根）。",
     u"The connectivity service's interfaces are not registered for this program (no "
     u"proxy/stub)."},
    {u"连接服务的接口未为本程序注册（没有代理/存根）：",
     u"The interfaces are not registered for this program (no proxy/stub) at "}};

const ReasonTexts& reasonTexts(OpenFailure failure) {
  switch (failure) {
    case OpenFailure::DeviceUnreadable:
      return kDeviceUnreadable;
    case OpenFailure::PinNotANumber:
      return kPinNotANumber;
    case OpenFailure::PasswordCancelled:
      return kPasswordCancelled;
    case OpenFailure::PasswordRefused:
      return kPasswordRefused;
    case OpenFailure::ChannelRefused:
      return kChannelRefused;
    case OpenFailure::TurnedAway:
      return kTurnedAway;
    case OpenFailure::ServiceNotInstalled:
      return kServiceNotInstalled;

    case OpenFailure::InterfaceNotRegistered:
      return kInterfaceNotRegistered;
    case OpenFailure::None:
    case OpenFailure::NoHandheld:
      break;
  }
  return kNoHandheld;
}

}  // namespace

std::u16string openFailureMessage(std::u16string_view reasonLine) {
  std::u16string text(pick(kOpenFailed));
  if (reasonLine.empty()) return text;
  const size_t firstLineEnd = text.find(u'\n');
  return text.insert(firstLineEnd == std::u16string::npos ? text.size() : firstLineEnd,
                     u"\n" + std::u16string(reasonLine));
}

const BilingualText& openFailureReason(OpenFailure failure) {
  return reasonTexts(failure).alone;
}

const BilingualText& openFailureReasonAt(OpenFailure failure) {
  return reasonTexts(failure).at;
}

}  // namespace lexora
