// lexora-cli send: the transfer job from a terminal.
#include <atomic>
#include <memory>
#include <optional>

#include "base/text_codec.h"
#include "cli/commands.h"
#include "cli/send_service.h"
#include "job/open_failure_texts.h"
#include "job/transfer_job.h"
#include "platform/console.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kStopping{u"正在停止……（再按一次 Ctrl-C 立即退出）",
                                  u"Stopping... (press Ctrl-C again to quit at once)"};
constexpr BilingualText kHandheldAddress{u"手机地址：", u"Handheld address: "};
constexpr BilingualText kForeignSocketAt{
    u"此地址的套接字属于另一用户，未向其发送任何内容：",
    u"The socket belongs to another user, so nothing was sent to it at "};

constexpr BilingualText kEmptyNotSent{
    u"词典是空的（0字节），--yes 不会发送它，未发送。",
    u"The dictionary is empty (0 bytes); --yes does not send it, so it was not sent."};

// The command line has no buttons; the job's button changes have nothing to show. The
// automatic Yes of --yes does not cover an empty dictionary: sending one would replace the
// handheld's stored copy with nothing, and nobody saw the question. A person answering at
// the terminal (or the desktop dialog) is still asked and may say Yes.
class ConsoleDialog : public TransferDialog {
 public:
  ConsoleDialog(ConsoleUserInterface& ui, ConsoleUserInterface::Answers answers)
      : ui_(ui), automaticYes_(answers == ConsoleUserInterface::Answers::AlwaysYes) {}
  UserInterface& ui() override { return ui_; }
  void enableSendButton(bool) override {}
  void enableStopButton(bool) override {}
  bool confirmSend(int32_t packedSize) override {
    if (automaticYes_ && packedSize == 0) {
      showWarning(ui_, pick(kEmptyNotSent));
      return false;
    }
    return TransferDialog::confirmSend(packedSize);
  }

 private:
  ConsoleUserInterface& ui_;
  const bool automaticYes_;
};

}  // namespace

int sendCommand(const CommandLine& line) {
  ConsoleUserInterface ui(line.answers,
                          line.passwordFromStdin
                              ? ConsoleUserInterface::PasswordSource::StandardInput
                              : ConsoleUserInterface::PasswordSource::Terminal,
                          line.detail);
  ConsoleDialog dialog(ui, line.answers);

  std::string error;
  std::optional<SendService> service = chooseSendService(line.device, error);
  if (!service) return usageError(utf8ToUtf16(error));
  if (ui.detail() == ConsoleUserInterface::Detail::Verbose) {
    ui.note(utf16ToUtf8(pick(kHandheldAddress)) + service->where);
  }

  TransferJobParameters parameters;
  // Operands are the system's own path bytes, opened whatever their encoding.
  for (const std::string& file : line.operands) {
    parameters.selectedPaths.push_back(pathFromArgument(file));
  }
  if (line.name) parameters.dictionaryName = utf8ToUtf16(*line.name);
  parameters.sources.markupAsText = line.markupAsText;
  parameters.service = std::move(service->factory);

  // Ctrl-C is the Stop button: the first asks the job to stop, the second quits at once.
  // (At a question or the password prompt the console takes it as No / Cancel instead.)
  // The job outlives the interrupt watcher, which may be calling stop() on it up to the
  // moment the watcher is joined; it is made only once the interrupts are routed, so that
  // its threads start with them routed too. A Ctrl-C before the job exists still stops
  // it: the request waits in `stopAsked`.
  std::optional<TransferJob> job;
  std::atomic<TransferJob*> running{nullptr};
  std::atomic<bool> stopAsked{false};
  {
    ConsoleInterrupts interrupts([&] {
      if (stopAsked.exchange(true)) quitConsoleProgram(kExitInterrupted);
      writeConsoleText(ConsoleStream::Error, "\n" + utf16ToUtf8(pick(kStopping)) + "\n");
      if (TransferJob* started = running.load()) started->stop();
    });
    job.emplace(dialog, std::move(parameters));
    running = &*job;
    if (stopAsked) job->stop();
    job->wait();
  }
  const TransferOutcome outcome = job->outcome();
  ui.finishStatus();

  if (!outcome.linkOpened) {
    std::string reason;
    if (outcome.openFailure == OpenFailure::ServiceNotInstalled) {
      // Nothing was reached, so there is no address worth naming.
      reason = utf16ToUtf8(pick(openFailureReason(outcome.openFailure)));
    } else {
      const BilingualText& text =
          service->foundForeignPeer() && outcome.openFailure == OpenFailure::NoHandheld
              ? kForeignSocketAt
              : openFailureReasonAt(outcome.openFailure);
      reason = utf16ToUtf8(pick(text)) + service->where;
    }
    writeConsoleText(ConsoleStream::Error, reason + "\n");
    return kExitNoChannel;
  }
  return outcome.filesSent == outcome.filesSelected ? kExitOk : kExitFailed;
}

}  // namespace lexora
