// A DialogView without a toolkit: controls are strings and flags, boxes are answered from a
// script, and the calls posted to the "dialog thread" wait until the test pumps them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialog_view.h"

namespace lexora::test {

class TestView : public DialogView {
 public:
  struct Message {
    std::u16string text;
    MessageIcon icon;
    MessageButtons buttons;
  };

  // The main dialog's controls as the template creates them.
  explicit TestView(const DialogTemplate& dialog);

  void setControlText(int id, std::u16string_view text) override;
  std::u16string controlText(int id) const override;
  void enableControl(int id, bool enabled) override;
  void setTitle(std::u16string_view title) override { title_ = title; }
  std::vector<int> controlIds() const override { return ids_; }
  MessageAnswer showMessage(std::u16string_view text, MessageIcon icon,
                            MessageButtons buttons) override;
  std::optional<std::vector<std::u16string>> openFiles(const OpenFileRequest& request) override;
  void showAbout(const DialogTemplate& dialog) override { abouts.push_back(dialog.id); }
  std::optional<std::u16string> askPassword(const DialogTemplate& dialog,
                                            std::u16string_view prompt) override;
  void endDialog() override { ended = true; }
  void postToDialogThread(std::function<void()> call) override;
  // Progress and the end-of-job notification.
  struct Progress {
    ProgressState state;
    int percent;
  };
  void showProgress(ProgressState state, int percent) override {
    progress.push_back({state, percent});
  }
  bool windowActive() const override { return active; }
  void notifyJobEnded(std::u16string_view text) override { notifications.emplace_back(text); }
  std::vector<Progress> progress;  // every progress call, in order
  bool active = true;
  std::vector<std::u16string> notifications;

  // The Return key and the focus.
  int focusedControl() const override { return focused; }
  void focusControl(int id) override { focused = id; }
  void setDefaultButton(int id) override { defaultButton = id; }
  int focused = 0;
  int defaultButton = 0;
  // Boxes of the job: answered as the others (onMessage and onPassword stand for the time
  // they stay open); closing them is counted, ownerless boxes are kept apart.
  MessageAnswer showJobMessage(std::u16string_view text, MessageIcon icon,
                               MessageButtons buttons) override;
  void closeJobBoxes() override { ++jobBoxesClosed; }
  MessageAnswer showOwnerlessMessage(std::u16string_view text, MessageIcon icon,
                                     MessageButtons buttons) override;
  struct OwnerlessMessage {
    std::u16string text;
    bool afterEnd;  // the main dialog had ended when it was shown
  };
  std::function<void()> onPassword;  // called before the password dialog is answered
  int jobBoxes = 0;                  // job boxes shown, the password dialog among them
  int jobBoxesClosed = 0;
  std::vector<OwnerlessMessage> ownerlessMessages;

  // Runs posted calls on this thread until `done` holds; false on time-out.
  bool pumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Waits (without running them) until a call has been posted.
  bool waitForPosted(std::chrono::milliseconds timeout = std::chrono::seconds(20));

  const std::u16string& title() const { return title_; }
  bool enabled(int id) const { return enabled_.at(id); }

  // Scripts: answers for Yes/No boxes (Yes when none is left), file dialog results
  // (cancel when none is left), passwords (cancel when none is left).
  std::deque<bool> answers;
  std::deque<std::optional<std::vector<std::u16string>>> files;
  std::deque<std::optional<std::u16string>> passwords;
  // Called before a box is answered, with its text (e.g. to press Stop meanwhile).
  std::function<void(const Message&)> onMessage;

  std::vector<Message> messages;
  std::vector<std::u16string> statuses;  // every text the status line showed
  std::vector<int> abouts;
  std::vector<int> passwordDialogs;
  std::vector<OpenFileRequest> fileRequests;
  bool ended = false;

 private:
  std::vector<int> ids_;
  std::map<int, std::u16string> texts_;
  std::map<int, bool> enabled_;
  std::u16string title_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> calls_;
};

}  // namespace lexora::test
