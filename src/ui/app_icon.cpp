#include "src/ui/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace fennick::ui {

QIcon AppIcon() {
  // A package (box) with a folded corner: drawn, so no resource file is needed.
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 1.5));
  p.setBrush(QColor(214, 150, 60));
  p.drawRect(QRectF(4.5, 8.5, 23, 19));
  p.setBrush(QColor(240, 190, 100));
  p.drawPolygon(QPolygonF({QPointF(4.5, 8.5), QPointF(10.5, 3.5), QPointF(27.5, 3.5), QPointF(27.5, 8.5)}));
  p.setPen(QPen(QColor(40, 90, 160), 2));
  p.drawLine(QPointF(10, 18), QPointF(22, 18));
  p.drawLine(QPointF(16, 12), QPointF(16, 24));
  return QIcon(pixmap);
}

}  // namespace fennick::ui
