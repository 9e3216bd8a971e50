#include "app/win32/taskbar_progress.h"

#include <objbase.h>
#include <shobjidl.h>

#include <algorithm>

namespace lexora {

TaskbarProgress::TaskbarProgress()
    : apartmentJoined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
  ITaskbarList3* list = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              reinterpret_cast<void**>(&list))) ||
      !list) {
    return;
  }
  if (FAILED(list->HrInit())) {
    list->Release();
    return;
  }
  list_ = list;
}

TaskbarProgress::~TaskbarProgress() {
  if (list_) list_->Release();
  if (apartmentJoined_) CoUninitialize();
}

void TaskbarProgress::show(HWND window, ProgressState state, int percent) {
  if (!list_ || !window) return;
  const auto value = static_cast<ULONGLONG>(std::clamp(percent, 0, 100));
  switch (state) {
    case ProgressState::None:
      list_->SetProgressState(window, TBPF_NOPROGRESS);
      return;
    case ProgressState::Normal:
      list_->SetProgressState(window, TBPF_NORMAL);
      break;
    case ProgressState::Failed:
      list_->SetProgressState(window, TBPF_ERROR);
      break;
  }
  list_->SetProgressValue(window, value, 100);
}

}  // namespace lexora
