#include "platform/settings_warning.h"

#include <atomic>

#include "platform/application.h"
#include "platform/path_text.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

constexpr BilingualText kSettingsSetAside{u"无法使用设置文件，本次运行使用默认设置：",
                                          u"The settings file cannot be used; this run uses "
                                          u"the defaults: "};

std::atomic<bool> gTaken{false};

}  // namespace

std::optional<SettingsWarning> takeSettingsWarning() {
  const std::optional<SettingsProblem> problem = applicationSettings().problem();
  if (!problem || gTaken.exchange(true)) return std::nullopt;
  return SettingsWarning{std::u16string(pick(kSettingsSetAside)) + pathText(problem->file),
                         problem->file, problem->systemError};
}

}  // namespace lexora
