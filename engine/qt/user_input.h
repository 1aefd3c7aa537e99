// What a user did to a control of a rendered dialog, before the wizard hears of it.
#pragma once

#include <string>

#include "engine/dialogs/wizard.h"

namespace msi::qt {

struct UserInput {
  enum class Kind { SetValue, SetChecked, Choose, FeatureState, Press };
  Kind kind = Kind::Press;
  std::string control;  // the control, or the feature for FeatureState
  std::string value;    // SetValue, Choose
  bool checked = false;  // SetChecked
  dialogs::FeatureChoice state = dialogs::FeatureChoice::Local;  // FeatureState
};

}  // namespace msi::qt
