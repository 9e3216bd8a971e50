#include "app/lexora_dialog.h"

#include "app/browse_folder.h"
#include "app/default_button.h"
#include "job/open_failure_texts.h"
#include "job/packing_texts.h"
#include "platform/application.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"
#include "sources/source_options.h"

namespace lexora {
namespace {

constexpr BilingualText kBeingSent{u"已经启动发送词典文件！", u"Dictionary file is being sent!"};
constexpr BilingualText kNotBeingSent{u"没有启动发送词典文件！",
                                      u"Dictionary file isn't being sent!"};
constexpr BilingualText kExitQuestion{u"你真的想退出莱克索拉吗？",
                                      u"Do you realy want to exit Lexora？"};
constexpr BilingualText kOpenTitle{u"打开词典文件", u"Open Dictionary File"};
constexpr BilingualText kJobEnded{u"莱克索拉：词典发送已结束。",
                                  u"Lexora: the transfer has ended."};

struct BilingualFilter {
  BilingualText description;
  std::u16string_view pattern;
};
// The first three are the dialog's own, texts unchanged since its first version; the
// formats read since then follow them. The first entry's description still names the first
// three formats only, but it matches every format read, since users pick it to see them all.
constexpr BilingualFilter kFilters[] = {
    {{u"所有支持的词典文件(*.txt;*.tab;*.ifo)", u"All Support Dictionary Files(*.txt;*.tab;*.ifo)"},
     u"*.txt;*.tab;*.ifo;*.index;*.dsl;*.dsl.dz;*.xdxf;*.mdx"},
    {{u"Lexora词典文件(*.txt;*.tab)", u"Lexora Dictionary Files(*.txt;*.tab)"}, u"*.txt;*.tab"},
    {{u"StarDict词典文件(*.ifo)", u"StarDict Dictionary Files(*.ifo)"}, u"*.ifo"},
    {{u"dictd词典文件(*.index)", u"dictd Dictionary Files(*.index)"}, u"*.index"},
    {{u"DSL词典文件(*.dsl;*.dsl.dz)", u"DSL Dictionary Files(*.dsl;*.dsl.dz)"}, u"*.dsl;*.dsl.dz"},
    {{u"XDXF词典文件(*.xdxf)", u"XDXF Dictionary Files(*.xdxf)"}, u"*.xdxf"},
    {{u"MDict词典文件(*.mdx)", u"MDict (*.mdx)"}, u"*.mdx"},
};

}  // namespace

// The job's UserInterface: every call is carried out on the dialog's thread and completes
// before the job goes on. Its boxes block only the job. Once the dialog is closing, nothing
// reaches the view: status texts are dropped, boxes answer OK or No, the password prompt is
// cancelled; a box open at that moment gets the same answer at once.
class CLexoraDlg::JobInterface : public UserInterface {
 public:
  JobInterface(DialogView& view, DialogThreadCalls& calls) : view_(view), calls_(calls) {}

  MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                            MessageButtons buttons) override {
    const MessageAnswer closing =
        buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    return calls_.ask<MessageAnswer>([&view = view_, text = std::u16string(text), icon,
                                      buttons] { return view.showJobMessage(text, icon, buttons); },
                                     closing);
  }
  void setStatus(std::u16string_view text) override {
    calls_.run([&](bool closing) {
      if (!closing) view_.setControlText(main_control::kStatusLine, text);
    });
  }
  std::optional<std::u16string> askPassword(std::u16string_view prompt) override {
    return calls_.ask<std::optional<std::u16string>>(
        [&view = view_, prompt = std::u16string(prompt)] {
          return view.askPassword(passwordDialogTemplate(GetUiLanguage()), prompt);
        },
        std::nullopt);
  }

  // Progress: the state lives on the dialog's thread, as the view's does.
  void setProgress(int percent) override {
    calls_.run([&](bool closing) {
      if (!closing) showProgress(ProgressState::Normal, percent);
    });
  }
  void progressFailed() override {
    calls_.run([&](bool closing) {
      if (!closing) showProgress(ProgressState::Failed, percent_);
    });
  }
  // The dialog's thread.
  void clearProgress() {
    if (progress_ != ProgressState::None) showProgress(ProgressState::None, 0);
  }

 private:
  void showProgress(ProgressState state, int percent) {
    progress_ = state;
    percent_ = percent;
    view_.showProgress(state, percent);
  }

  DialogView& view_;
  DialogThreadCalls& calls_;
  ProgressState progress_ = ProgressState::None;  // dialog thread only
  int percent_ = 0;                               // dialog thread only
};

CLexoraDlg::CLexoraDlg(DialogView& view, ServiceFactory service, LinkWaits waits)
    : view_(view),
      service_(std::move(service)),
      waits_(waits),
      calls_(std::make_shared<DialogThreadCalls>(view)),
      jobInterface_(std::make_unique<JobInterface>(view, *calls_)) {
  for (const ControlTemplate& control : mainDialogTemplate(GetUiLanguage()).controls) {
    buttonEnabled_[control.id] = (control.styles & kStyleDisabled) == 0;
  }
}

CLexoraDlg::~CLexoraDlg() {
  shutDown();
}

void CLexoraDlg::initDialog() {
  view_.setControlText(main_control::kStatusLine, pick(kReadyStatus));
  view_.setDefaultButton(defaultButtonNow([this](int id) { return buttonEnabled_[id]; }));
}

std::u16string_view CLexoraDlg::systemMenuAboutText() {
  return loadString(aboutMenuStringId(GetUiLanguage()));
}

void CLexoraDlg::command(int id) {
  // Commands come in while a box of the job is open too: Exit closes that box first (see
  // shutDown), so it never waits for a job that waits for the box.
  switch (id) {
    case main_control::kAbout:
      about();
      break;
    case main_control::kStop:
      stop();
      break;
    case main_control::kSend:
      send();
      break;
    case main_control::kBrowse:
      browse();
      break;
    case main_control::kExit:
      exit();
      break;
    case main_control::kLanguage:
      SwitchUiLanguage();
      break;
    default:
      break;
  }
}

bool CLexoraDlg::systemCommand(int id) {
  if ((id & ~0xF) != kSystemMenuAboutCommand) return false;
  about();
  return true;
}

void CLexoraDlg::select(std::vector<std::filesystem::path> paths) {
  selection_ = makeFileSelection(std::move(paths));
  view_.setControlText(main_control::kFileBox, selection_.text);
}

void CLexoraDlg::drop(std::vector<std::filesystem::path> paths) {
  if (paths.empty()) return;
  rememberBrowseFolder(paths.front());
  select(std::move(paths));
}

void CLexoraDlg::browse() {
  OpenFileRequest request{pick(kOpenTitle), {}, browseFolder()};
  for (const BilingualFilter& filter : kFilters) {
    request.filters.push_back({pick(filter.description), filter.pattern});
  }
  std::optional<std::vector<std::u16string>> chosen = view_.openFiles(request);
  if (chosen && !chosen->empty()) rememberBrowseFolder(pathFromText(chosen->front()));
  selection_ = applyFileDialogResult(selection_, std::move(chosen));
  view_.setControlText(main_control::kFileBox, selection_.text);
}

void CLexoraDlg::send() {
  if (jobRunning()) {
    view_.showMessage(pick(kBeingSent), MessageIcon::Warning, MessageButtons::Ok);
    return;
  }
  forgetFinishedJobs();
  job_.reset();  // ended: joins at once
  jobStart_ = clock_();
  focusToRestore_ = 0;  // a button the last job left disabled is no longer waited for
  // The job works on its own copy of the paths: Browse stays available while it runs.
  TransferJobParameters parameters{selection_.paths, service_, waits_};
  // Read at each Send, so that a setting changed meanwhile takes effect.
  parameters.sources = storedSourceOptions(applicationSettings());
  job_ = std::make_unique<TransferJob>(*this, std::move(parameters));
}

void CLexoraDlg::stop() {
  forgetFinishedJobs();
  if (!jobRunning()) {
    view_.showMessage(pick(kNotBeingSent), MessageIcon::Warning, MessageButtons::Ok);
    return;
  }
  // Stop does not wait: the job finishes on its own (the end flag, closing the link).
  job_->stop();
  stoppedJobs_.push_back(std::move(job_));
}

void CLexoraDlg::exit() {
  if (view_.showMessage(pick(kExitQuestion), MessageIcon::Question, MessageButtons::YesNo) !=
      MessageAnswer::Yes) {
    return;
  }
  // The window goes first: the wait for a job finishing its block and end flag (bounded
  // by the link's time-outs) happens with the dialog already gone from the screen.
  view_.endDialog();
  shutDown();
}

void CLexoraDlg::about() {
  view_.showAbout(aboutBoxTemplate(GetUiLanguage()));
}

void CLexoraDlg::SwitchUiLanguage() {
  const UiLanguage language = GetUiLanguage();
  const DialogTexts current = view_.dialogTexts(mainDialogTemplate(language));
  const DialogTexts other = view_.dialogTexts(mainDialogTemplate(otherLanguage(language)));
  view_.setTitle(other.title);
  // Only texts that differ between the templates change: the file box and the status line,
  // empty in both, keep what they show.
  const auto textOf = [](const DialogTexts& texts, int id) {
    const auto found = texts.controls.find(id);
    return found == texts.controls.end() ? std::u16string() : found->second;
  };
  for (int id : view_.controlIds()) {
    if (id == 0 || id == kNoControlId) continue;
    const std::u16string toText = textOf(other, id);
    if (textOf(current, id) != toText) view_.setControlText(id, toText);
  }
  toggleUiLanguage();
}

UserInterface& CLexoraDlg::ui() {
  return *jobInterface_;
}

void CLexoraDlg::enableSendButton(bool enabled) {
  calls_->run([&](bool closing) {
    if (!closing) enableButton(main_control::kSend, enabled);
  });
}

void CLexoraDlg::enableStopButton(bool enabled) {
  calls_->run([&](bool closing) {
    if (!closing) enableButton(main_control::kStop, enabled);
  });
}

// A button disabled while it has the focus would leave the keyboard nowhere on Win32 and
// with whatever control comes next on Qt; both move the focus to the default button, and
// give it back when the button returns, unless the user has moved it since.
void CLexoraDlg::enableButton(int id, bool enabled) {
  const bool hadFocus = !enabled && view_.focusedControl() == id;
  buttonEnabled_[id] = enabled;
  view_.enableControl(id, enabled);
  const int defaultId = defaultButtonNow([this](int button) { return buttonEnabled_[button]; });
  view_.setDefaultButton(defaultId);
  if (hadFocus && defaultId != 0) {
    focusToRestore_ = id;
    focusMovedTo_ = defaultId;
    view_.focusControl(defaultId);
  } else if (enabled && focusToRestore_ == id) {
    const int focus = view_.focusedControl();
    if (focus == focusMovedTo_ || focus == 0) view_.focusControl(id);
    focusToRestore_ = 0;
  }
}

bool CLexoraDlg::confirmSend(int32_t packedSize) {
  // Closing, the answer is Yes: the job then tests the stop request shutDown() has already
  // set and ends at once, without sending this file and without loading the next one.
  return calls_->ask<bool>(
      [&view = view_, question = sizeQuestion(packedSize)] {
        return view.showJobMessage(question, MessageIcon::Question, MessageButtons::YesNo) ==
               MessageAnswer::Yes;
      },
      true);
}

// Exit in the middle of a send: the cut-off warning comes once the job has ended, when the
// main dialog is gone, so it is kept and shown by shutDown() in a box of its own.
void CLexoraDlg::warnCutOff(std::u16string_view message) {
  const bool shown = calls_->ask<bool>(
      [&view = view_, text = std::u16string(message)] {
        view.showJobMessage(text, MessageIcon::Warning, MessageButtons::Ok);
        return true;
      },
      false);
  if (shown) return;
  MutexLock lock(mutex_);
  warningsAfterExit_.emplace_back(message);
}

void CLexoraDlg::setLink(USBLink* link) {
  MutexLock lock(mutex_);
  if (!link) {
    links_.erase(std::this_thread::get_id());
    return;
  }
  links_[std::this_thread::get_id()] = link;
  if (linksHurried_) link->shortenWaits();
}

// The dialog adds the reason the link knows, or the handheld's own words when it gave any, in
// place of the address lexora-cli names: the dialog has none to give.
void CLexoraDlg::showOpenFailure(OpenFailure failure, const std::u16string& handheldReason) {
  const std::u16string text = openFailureMessage(
      handheldReason.empty() ? std::u16string(pick(openFailureReason(failure))) : handheldReason);
  ui().showMessage(text, MessageIcon::Warning, MessageButtons::Ok);
}

// The fill belongs to the dictionary being sent: it goes when that dictionary is done, so
// the next file's loading does not show the last one's percentage.
void CLexoraDlg::sendingEnded() {
  calls_->run([&](bool closing) {
    if (!closing) jobInterface_->clearProgress();
  });
}

void CLexoraDlg::jobEnded() {
  calls_->run([&](bool closing) {
    if (closing) return;
    jobInterface_->clearProgress();
    // Timed from this dialog's last Send: a job let go by Stop that ends after a new Send
    // counts as short.
    if (clock_() - jobStart_ > kLongJob && !view_.windowActive()) {
      view_.notifyJobEnded(pick(kJobEnded));
    }
  });
}

void CLexoraDlg::forgetFinishedJobs() {
  std::erase_if(stoppedJobs_, [](const auto& job) { return job->finished(); });
}

// Exit while a job runs, and the dialog's destruction: the dialog ends only once every job
// has ended, so no job outlives the state it uses. Each job is asked to stop first; then no
// call of a job reaches the dialog any more (each gets its closing answer on the job's own
// thread), so the waits below cannot deadlock on a question only this thread could answer.
// A job that was sending finishes its current block and sends the end flag before it ends
// (the stop is tested after each acknowledgement), so the handheld never keeps a dictionary
// without its end flag; the wait is bounded by the link's time-outs.
//
// The process may be hidden by then, so a silent handheld must not keep it alive for the
// whole of the link's data time-out, twice (the block, then the end flag): from here on
// every link's waits together end one close time-out from now. A handheld that answers
// still gets its end flag; one that does not is given up on.
void CLexoraDlg::shutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (job_) job_->stop();
  for (auto& job : stoppedJobs_) job->stop();
  {
    MutexLock lock(mutex_);
    linksHurried_ = true;
    for (const auto& [thread, link] : links_) link->shortenWaits();
  }
  calls_->close();
  job_.reset();
  stoppedJobs_.clear();
  std::vector<std::u16string> warnings;
  {
    MutexLock lock(mutex_);
    warnings.swap(warningsAfterExit_);
  }
  for (const std::u16string& warning : warnings) {
    view_.showOwnerlessMessage(warning, MessageIcon::Warning, MessageButtons::Ok);
  }
}

}  // namespace lexora
