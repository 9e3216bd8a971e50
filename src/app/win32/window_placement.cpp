#include "app/win32/window_placement.h"

#include <algorithm>

namespace lexora {

void centreWindow(HWND window, HWND over) {
  RECT box;
  if (!GetWindowRect(window, &box)) return;
  // A minimised window sits far off the screen; a hidden one still has its place.
  const bool overShown = over && !IsIconic(over);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(overShown ? over : window, MONITOR_DEFAULTTOPRIMARY),
                       &monitor)) {
    return;
  }
  const RECT& work = monitor.rcWork;
  RECT target = work;
  if (overShown && !GetWindowRect(over, &target)) target = work;
  const LONG width = box.right - box.left;
  const LONG height = box.bottom - box.top;
  LONG left = target.left + (target.right - target.left - width) / 2;
  LONG top = target.top + (target.bottom - target.top - height) / 2;
  left = std::max(std::min(left, work.right - width), work.left);
  top = std::max(std::min(top, work.bottom - height), work.top);
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace lexora
