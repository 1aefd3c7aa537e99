#include "src/installer/engine_dialog_host.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

namespace fennick::installer {

class EngineDialogHost::FirstDialogClock final : public msi::DialogRunner {
 public:
  explicit FirstDialogClock(EngineDialogHost& host)
      : host_(host), start_(std::chrono::steady_clock::now()), report_(std::getenv("FENNICK_TIMING") != nullptr) {}

  msi::ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
    if (report_) {
      report_ = false;
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      std::cerr << "fennick: first dialog after " << seconds << " s" << std::endl;
    }
    return host_.Dialogs().runDialog(session, dialog);
  }

 private:
  EngineDialogHost& host_;
  std::chrono::steady_clock::time_point start_;
  bool report_;
};

EngineDialogHost::EngineDialogHost() : clock_(std::make_unique<FirstDialogClock>(*this)) {}
EngineDialogHost::~EngineDialogHost() = default;

msi::DialogRunner& EngineDialogHost::Runner() { return *clock_; }

}  // namespace fennick::installer
