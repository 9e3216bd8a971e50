#include "link/send_packed_dictionary.h"

#include <chrono>
#include <string>

#include "base/status_text.h"
#include "base/text_codec.h"
#include "pack/packed_image.h"
#include "pack/transfer_message.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kSendingName{u"发送词典名", u"Send dictionary's name "};
constexpr BilingualText kSendingContent{u"发送词典内容", u"Send dictionary's content "};
constexpr BilingualText kEndSending{u"结束发送", u"End sending"};

constexpr BilingualText kNameNotWritten{u"发送词典名称失败！", u"Send dictionary's name failed!"};
constexpr BilingualText kNameNotAcknowledged{u"接收词典名称响应失败！",
                                             u"Recieve acknowledge of dictionary's name failed!"};
constexpr BilingualText kNameRefused{u"BB端处理词典名称失败！",
                                     u"Handle dictionary's name on BB failed"};
constexpr BilingualText kKeyNotWritten{u"发送KEY失败！", u"Send key failed!"};
constexpr BilingualText kRecordNotWritten{u"发送记录失败！", u"Send record failed!"};
constexpr BilingualText kRecordNotAcknowledged{u"接收记录响应失败！",
                                               u"Recieve acknowledge of record failed!"};
constexpr BilingualText kRecordRefused{u"BB端处理记录失败！", u"Handle record on BB failed!"};
constexpr BilingualText kStoredBlocksLost{
    u"读取临时文件中的压缩词典失败！",
    u"Read the packed dictionary from its temporary file failed!"};
constexpr BilingualText kEndFlagFailed{u"发送结束标志失败！", u"Send end flag failed!"};
// A message carries at most 65,535 payload bytes; a longer name or buffer cannot be sent
// without the handheld misreading everything after it.
constexpr BilingualText kTooLong{
    u"词典无法发送：词典名或某个数据块超过65535字节。",
    u"The dictionary cannot be sent: its name or one of its blocks is longer than 65535 bytes."};

enum class Ack { Received, NotReceived, Refused };

Ack readAcknowledgement(USBLink& link) {
  uint8_t type = 0;
  std::vector<uint8_t> payload;  // not interpreted
  int32_t length = 0;
  if (link.ReadMessage(type, payload, length) != 0) return Ack::NotReceived;
  return MessageType{type} == MessageType::Acknowledgement ? Ack::Received : Ack::Refused;
}

bool stopRequested(Event& stopEvent) {
  return stopEvent.wait(std::chrono::milliseconds(0));
}

// A block's key or record: the type byte alone, then the length and the bytes as a block.
bool sendMessage(USBLink& link, MessageType type, const std::vector<uint8_t>& bytes) {
  const auto header = messageHeader(type, bytes.size());
  return link.WriteBytes(header.data(), 1) &&
         link.WriteBlock(bytes.data(), static_cast<int32_t>(bytes.size())) == 0;
}

// One block, key then record, and its acknowledgement; what went wrong, or nullptr.
const BilingualText* sendBlock(USBLink& link, const PackedBlock& block) {
  if (!sendMessage(link, MessageType::Key, block.keyBytes)) return &kKeyNotWritten;
  if (!sendMessage(link, MessageType::Record, block.packedBytes)) return &kRecordNotWritten;
  switch (readAcknowledgement(link)) {
    case Ack::NotReceived:
      return &kRecordNotAcknowledged;
    case Ack::Refused:
      return &kRecordRefused;
    case Ack::Received:
      break;
  }
  return nullptr;
}

}  // namespace

bool SendPackedDictionary(USBLink& link, const PackedDictionary& dictionary, Event& stopEvent,
                          UserInterface& ui, SendReport* report) {
  SendReport ignored;
  SendReport& outcome = report ? *report : ignored;
  outcome = SendReport{};
  const std::u16string& name = dictionary.name;
  const std::string nameBytes = utf16ToUtf8(name);
  bool fits = fitsMessage(nameBytes.size());
  // Stored blocks fit by construction: their store takes none larger.
  for (const PackedBlock& block : dictionary.blocks) {
    fits = fits && fitsMessage(block.keyBytes.size()) && fitsMessage(block.packedBytes.size());
  }
  if (!fits) {
    showWarning(ui, pick(kTooLong));
    return true;
  }
  const auto nameLength = static_cast<int32_t>(nameBytes.size());

  const std::u16string sendingName = statusText(pick(kSendingName), name);
  ui.setStatus(sendingName);
  // The type byte alone, then the length, then the name: three writes, as the device expects.
  const auto nameHeader = messageHeader(MessageType::Name, nameBytes.size());
  if (!link.WriteBytes(nameHeader.data(), 1) ||
      !link.WriteBytes(nameHeader.data() + 1, kMessageHeaderSize - 1) ||
      (nameLength > 0 &&
       !link.WriteBytes(reinterpret_cast<const uint8_t*>(nameBytes.data()), nameLength))) {
    showWarning(ui, pick(kNameNotWritten));
    return false;
  }
  switch (readAcknowledgement(link)) {
    case Ack::NotReceived:
      showWarning(ui, pick(kNameNotAcknowledged));
      return false;
    case Ack::Refused:
      showWarning(ui, pick(kNameRefused));
      return false;
    case Ack::Received:
      break;
  }
  ui.setStatus(sendingName + std::u16string(pick(kStatusSuccess)));
  if (stopRequested(stopEvent)) {
    outcome.stopped = true;
    return false;
  }

  const auto blocks = static_cast<int64_t>(blockCount(dictionary));
  int64_t progress = 100;
  bool stopSeen = false;
  bool blocksFailed = false;
  int64_t blocksAcknowledged = 0;
  const bool read = forEachBlock(dictionary, [&](const PackedBlock& block) {
    const int percent = static_cast<int>(progress / blocks);
    ui.setStatus(sendingContentStatus(name, percent));
    ui.setProgress(percent);

    if (const BilingualText* failure = sendBlock(link, block)) {
      ui.progressFailed();
      showWarning(ui, pick(*failure));
      blocksFailed = true;
      return false;
    }
    ++blocksAcknowledged;
    if (stopRequested(stopEvent)) {
      stopSeen = true;
      return false;
    }
    progress += 100;
    return true;
  });
  if (!read) {
    // The rest of the dictionary is lost with the disk under it: the handheld still gets
    // its end flag, and the user is told the send did not finish.
    ui.progressFailed();
    showWarning(ui, pick(kStoredBlocksLost));
    blocksFailed = true;
  }

  outcome.stopped = stopSeen;
  const std::u16string endSending = statusText(pick(kEndSending), u"");
  ui.setStatus(endSending);
  const auto endFlag = messageHeader(MessageType::End, 0);
  if (!link.WriteBytes(endFlag.data(), 1) ||
      !link.WriteBytes(endFlag.data() + 1, kMessageHeaderSize - 1) ||
      readAcknowledgement(link) != Ack::Received) {
    showWarning(ui, pick(kEndFlagFailed));
    return false;
  }
  ui.setStatus(endSending + std::u16string(pick(kStatusSuccess)));
  outcome.endFlagAcknowledged = true;
  outcome.blocksAcknowledged = static_cast<size_t>(blocksAcknowledged);
  outcome.everyMessageAcknowledged = !blocksFailed && blocksAcknowledged == blocks;
  return !stopSeen;
}

std::u16string sendingContentStatus(std::u16string_view name, int percent) {
  std::u16string status = statusText(pick(kSendingContent), name);
  appendUtf16(status, std::to_string(percent));
  status += u"%";
  return status;
}

}  // namespace lexora
