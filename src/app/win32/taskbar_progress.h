// The sending progress on the window's taskbar button (the shell's ITaskbarList3). Where
// the shell does not provide the object, as under Wine, nothing is shown and nothing fails.
#pragma once

#include <windows.h>

#include "app/dialog_view.h"

struct ITaskbarList3;

namespace lexora {

class TaskbarProgress {
 public:
  // On the thread that owns the windows it will be shown on; that thread's COM apartment
  // is joined (single-threaded) for as long as this object lives.
  TaskbarProgress();
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  bool available() const { return list_ != nullptr; }
  void show(HWND window, ProgressState state, int percent);

 private:
  bool apartmentJoined_ = false;
  ITaskbarList3* list_ = nullptr;
};

}  // namespace lexora
