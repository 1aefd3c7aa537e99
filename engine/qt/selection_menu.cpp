#include "engine/qt/selection_menu.h"

#include "engine/dialogs/control_model.h"

namespace msi::qt {

QString choiceLabel(const dialogs::Wizard& wizard, dialogs::FeatureChoice choice) {
  const char* key = "";
  const char* fallback = "";
  switch (choice) {
    case dialogs::FeatureChoice::Local: key = "MenuLocal", fallback = "Installed locally"; break;
    case dialogs::FeatureChoice::Source: key = "MenuNetwork", fallback = "Run from source"; break;
    case dialogs::FeatureChoice::Advertise: key = "MenuAdvertise", fallback = "Installed on first use"; break;
    case dialogs::FeatureChoice::Absent: key = "MenuAbsent", fallback = "Not installed"; break;
    case dialogs::FeatureChoice::AllLocal: key = "MenuAllLocal", fallback = "Entire feature installed locally"; break;
    case dialogs::FeatureChoice::AllSource: key = "MenuAllNetwork", fallback = "Entire feature run from source"; break;
  }
  const std::string text = dialogs::uiText(wizard.session(), key);
  return QString::fromStdString(text.empty() ? std::string(fallback) : text);
}

}  // namespace msi::qt
