#include "engine/qt/dialog_picture.h"

#include <stdexcept>

#include "engine/qt/dialog_view.h"

namespace msi::qt {

QImage dialogImage(const dialogs::Wizard& wizard) {
  const dialogs::Dialog& dialog = wizard.active();
  DialogView view(wizard, dialog, nullptr);
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.setAutoFillBackground(true);
  view.show();  // lays the widgets out as a shown window would be
  // As the dialog opens: the first control of the tab order has the focus, and shows it.
  view.activateWindow();
  view.focusFirst();
  QImage image = view.grab().toImage();
  view.hide();
  return image;
}

void renderDialog(const dialogs::Wizard& wizard, const std::filesystem::path& path) {
  const QImage image = dialogImage(wizard);
  if (!image.save(QString::fromStdString(path.string()), "PNG"))
    throw std::runtime_error(path.string() + ": cannot write the picture of dialog `" + wizard.active().name + "`");
}

}  // namespace msi::qt
