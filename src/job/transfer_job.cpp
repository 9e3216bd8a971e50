#include "job/transfer_job.h"

#include "base/format_text.h"
#include "job/load_and_pack.h"
#include "job/open_failure_texts.h"
#include "job/packing_texts.h"
#include "link/send_packed_dictionary.h"
#include "platform/com_apartment.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

// A stop during the blocks still sends the end flag, and the handheld then keeps the blocks
// it has in place of any earlier, complete copy: the user must know. (After a failed block
// the handheld drops the dictionary, and the failure has its own message.)
constexpr BilingualText kCutOff{
    u"词典“{name}”共{total}块，只发送了前{sent}块就中断了。"
    u"手机上现在是这部词典的不完整副本，请重新发送。",
    u"The dictionary \"{name}\" was cut off after {sent} of its {total} blocks. The handheld "
    u"now holds this incomplete copy; send the dictionary again."};

std::u16string cutOffMessage(std::u16string_view name, size_t sent, size_t total) {
  return formatText(kCutOff, {{u"name", name}, {u"sent", sent}, {u"total", total}});
}

}  // namespace

bool TransferDialog::confirmSend(int32_t packedSize) {
  return askYesNo(ui(), sizeQuestion(packedSize));
}

void TransferDialog::warnCutOff(std::u16string_view message) {
  showWarning(ui(), message);
}

void TransferDialog::showOpenFailure(OpenFailure /*failure*/,
                                     const std::u16string& handheldReason) {
  showWarning(ui(), openFailureMessage(handheldReason));
}

void TransferJobThread(TransferDialog& dialog, const TransferJobParameters& parameters,
                       Event& stopEvent, TransferOutcome* outcome) {
  [[maybe_unused]] ComApartment apartment;
  UserInterface& ui = dialog.ui();
  TransferOutcome result;
  result.filesSelected = parameters.selectedPaths.size();

  dialog.enableSendButton(false);
  dialog.enableStopButton(true);

  Ref<USBLink> link = USBLink::create(kChannelName, ui, parameters.service, parameters.waits);
  dialog.setLink(link.get());
  if (link->Open() != 0) {
    result.openFailure = link->openFailure();
    result.handheldReason = link->handheldReason();
    dialog.showOpenFailure(result.openFailure, result.handheldReason);
  } else {
    result.linkOpened = true;
    for (const std::filesystem::path& path : parameters.selectedPaths) {
      // A file that does not load is skipped; its reader has told the user why.
      std::optional<LoadedAndPacked> file = loadAndPackFile(path, ui, parameters.sources);
      if (!file) continue;
      PackedDictionary& packed = file->packed.dictionary;
      if (parameters.dictionaryName) packed.name = *parameters.dictionaryName;
      if (!dialog.confirmSend(packedSize(packed))) continue;
      // A stop pressed while this file loaded, packed or was asked about ends the job
      // here, after a Yes; after a No it stays pending until the next file's Yes.
      if (stopEvent.wait(std::chrono::milliseconds(0))) {
        result.stopped = true;
        break;
      }
      SendReport report;
      const bool goOn = SendPackedDictionary(*link.get(), packed, stopEvent, ui, &report);
      dialog.sendingEnded();
      if (report.everyMessageAcknowledged) ++result.filesSent;
      if (report.stopped && report.endFlagAcknowledged &&
          report.blocksAcknowledged < blockCount(packed)) {
        dialog.warnCutOff(
            cutOffMessage(packed.name, report.blocksAcknowledged, blockCount(packed)));
      }
      if (!goOn) {
        result.stopped = report.stopped;
        break;
      }
    }
    link->Close();
  }

  // The one way out, whatever ended the job.
  dialog.setLink(nullptr);
  link.reset();
  dialog.enableSendButton(true);
  dialog.enableStopButton(false);
  ui.setStatus(pick(kReadyStatus));
  dialog.jobEnded();
  if (outcome) *outcome = result;
}

TransferJob::TransferJob(TransferDialog& dialog, TransferJobParameters parameters)
    : dialog_(dialog), parameters_(std::move(parameters)) {
  worker_ = std::thread([this] {
    TransferJobThread(dialog_, parameters_, stopEvent_, &outcome_);
    finished_ = true;
  });
}

TransferJob::~TransferJob() {
  stop();
  wait();
}

void TransferJob::wait() {
  if (worker_.joinable()) worker_.join();
}

TransferOutcome TransferJob::outcome() const {
  return finished_ ? outcome_ : TransferOutcome{};
}

}  // namespace lexora
