#include "test_view.h"

namespace lexora::test {

TestView::TestView(const DialogTemplate& dialog) : title_(dialog.caption) {
  for (const ControlTemplate& control : dialog.controls) {
    ids_.push_back(control.id);
    texts_[control.id] = control.text;
    enabled_[control.id] = (control.styles & kStyleDisabled) == 0;
  }
}

void TestView::setControlText(int id, std::u16string_view text) {
  texts_.at(id) = text;
  if (id == main_control::kStatusLine) statuses.emplace_back(text);
}

std::u16string TestView::controlText(int id) const {
  return texts_.at(id);
}

void TestView::enableControl(int id, bool enabled) {
  enabled_.at(id) = enabled;
}

MessageAnswer TestView::showMessage(std::u16string_view text, MessageIcon icon,
                                    MessageButtons buttons) {
  messages.push_back({std::u16string(text), icon, buttons});
  if (onMessage) onMessage(messages.back());
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  bool yes = true;
  if (!answers.empty()) {
    yes = answers.front();
    answers.pop_front();
  }
  return yes ? MessageAnswer::Yes : MessageAnswer::No;
}

std::optional<std::vector<std::u16string>> TestView::openFiles(const OpenFileRequest& request) {
  fileRequests.push_back(request);
  if (files.empty()) return std::nullopt;
  const bool cancelled = !files.front();
  std::vector<std::u16string> paths = cancelled ? std::vector<std::u16string>() : *files.front();
  files.pop_front();
  if (cancelled) return std::nullopt;
  return paths;
}

std::optional<std::u16string> TestView::askPassword(const DialogTemplate& dialog,
                                                    std::u16string_view) {
  passwordDialogs.push_back(dialog.id);
  ++jobBoxes;
  if (onPassword) onPassword();
  if (passwords.empty()) return std::nullopt;
  auto result = passwords.front();
  passwords.pop_front();
  return result;
}

MessageAnswer TestView::showJobMessage(std::u16string_view text, MessageIcon icon,
                                       MessageButtons buttons) {
  ++jobBoxes;
  return showMessage(text, icon, buttons);
}

MessageAnswer TestView::showOwnerlessMessage(std::u16string_view text, MessageIcon,
                                             MessageButtons buttons) {
  ownerlessMessages.push_back({std::u16string(text), ended});
  return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
}

void TestView::postToDialogThread(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  posted_.notify_all();
}

bool TestView::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    std::function<void()> call;
    {
      std::unique_lock lock(mutex_);
      if (!posted_.wait_until(
              lock,
              std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10)),
              [this] { return !calls_.empty(); })) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        continue;
      }
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
  }
  return true;
}

bool TestView::waitForPosted(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return posted_.wait_for(lock, timeout, [this] { return !calls_.empty(); });
}

}  // namespace lexora::test
