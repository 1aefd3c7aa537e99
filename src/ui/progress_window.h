// frmTransform: the progress window shown while the reference database is copied.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

namespace fennick::ui {

class ProgressWindow : public QWidget {
 public:
  ProgressWindow();
  QLabel* Label() const { return lblCreate_; }
  QProgressBar* Bar() const { return objProgress_; }
  // Min, Max and Value arrive as single-precision numbers; the bar counts whole steps.
  void SetRange(float min, float max);
  void SetValue(float value);
  void CentreOnScreen();

 private:
  QLabel* lblCreate_;
  QProgressBar* objProgress_;
};

}  // namespace fennick::ui
