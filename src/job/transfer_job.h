// The transfer job: everything after Send. It opens the channel to the handheld once, then
// for each selected file loads it, packs it, asks whether to send it at its packed size
// and, on Yes, sends it. The desktop dialog, lexora-cli and the tests drive the same code.
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/user_interface.h"
#include "link/connectivity_service.h"
#include "link/usb_link.h"
#include "platform/event.h"
#include "platform/ui_language.h"
#include "sources/source_options.h"

namespace lexora {

// The status line while no transfer runs: the dialog shows it at start, the job when it ends.
inline constexpr BilingualText kReadyStatus{u"准备就绪", u"Ready"};

// What the job uses of the dialog that started it. Called from the job's worker thread.
class TransferDialog {
 public:
  virtual ~TransferDialog() = default;
  // Message boxes and the status line.
  virtual UserInterface& ui() = 0;
  virtual void enableSendButton(bool enabled) = 0;
  virtual void enableStopButton(bool enabled) = 0;
  // The job's link while it runs, null before and after.
  virtual void setLink(USBLink* /*link*/) {}
  // Whether to send a dictionary of `packedSize` bytes. By default the size question,
  // answered by whoever sits at ui(); a dialog may decide some answers itself.
  virtual bool confirmSend(int32_t packedSize);
  // The warning that a stop cut a dictionary off on the handheld. By default shown at ui();
  // a dialog may keep it to show once the job has ended.
  virtual void warnCutOff(std::u16string_view message);
  // The channel did not open. By default the open-failure box, with the handheld's own
  // reason, when it gave one, as its second line.
  virtual void showOpenFailure(OpenFailure failure, const std::u16string& handheldReason);
  // The sending of one dictionary is over, however it went.
  virtual void sendingEnded() {}
  // The job is over, whatever ended it; the last call of the job.
  virtual void jobEnded() {}
};

struct TransferJobParameters {
  // The job's own copy of the selected paths, taken when Send was pressed: choosing other
  // files meanwhile does not change the list the job is working through.
  // The system's own path bytes on POSIX, whatever their encoding.
  std::vector<std::filesystem::path> selectedPaths;
  ServiceFactory service;
  LinkWaits waits;
  // The name the dictionary is sent under, in place of the one its file gives (one file).
  std::optional<std::u16string> dictionaryName = std::nullopt;
  // How the files are read.
  SourceOptions sources = {};
};

struct TransferOutcome {
  bool linkOpened = false;
  OpenFailure openFailure = OpenFailure::None;  // why the link did not open
  std::u16string handheldReason;                // ... in the handheld's words, if it gave any
  size_t filesSelected = 0;
  // Files whose every message the handheld acknowledged.
  size_t filesSent = 0;
  bool stopped = false;  // a stop request ended the job
};

// The job procedure, on the calling thread. `stopEvent` (auto-reset) is tested after a Yes
// and, while sending, after the name and after each block; a test that finds it set clears
// it. `outcome`, when given, tells how it went.
void TransferJobThread(TransferDialog& dialog, const TransferJobParameters& parameters,
                       Event& stopEvent, TransferOutcome* outcome = nullptr);

// Runs one transfer job on a worker thread of its own.
class TransferJob {
 public:
  // Starts the worker at once. `dialog` must outlive this object.
  TransferJob(TransferDialog& dialog, TransferJobParameters parameters);
  // Asks the job to stop and waits for it: the job never outlives the state it uses.
  // REQUIRES: no question the job is showing waits for the destroying thread to answer.
  ~TransferJob();
  TransferJob(const TransferJob&) = delete;
  TransferJob& operator=(const TransferJob&) = delete;

  // The Stop button. Any thread.
  void stop() { stopEvent_.set(); }
  // Waits for the job to end; then outcome() is final.
  void wait();
  bool finished() const { return finished_; }
  TransferOutcome outcome() const;

 private:
  TransferDialog& dialog_;
  const TransferJobParameters parameters_;
  Event stopEvent_{Event::Reset::Auto};
  TransferOutcome outcome_;
  std::atomic<bool> finished_{false};
  std::thread worker_;
};

}  // namespace lexora
