// The selection tree's menu of choices for a feature, in the package's own words: the UIText
// rows MenuLocal, MenuAllLocal, MenuNetwork and MenuAllNetwork (running from the source),
// MenuAdvertise and MenuAbsent, as the installer's own menu says them. Plain words stand in where the package has no such row.
#pragma once

#include <QString>

#include "engine/dialogs/wizard.h"

namespace msi::qt {

QString choiceLabel(const dialogs::Wizard& wizard, dialogs::FeatureChoice choice);

}  // namespace msi::qt
