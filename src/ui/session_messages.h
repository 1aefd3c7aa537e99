// What the installer service itself would show while the package runs (a launch condition's
// text, an error custom action): errors as message boxes through the tool's host, warnings as
// lines on standard error.
#pragma once

#include <ostream>

#include "engine/session/session_host.h"
#include "src/ui/host.h"

namespace fennick::ui {

class SessionMessages final : public msi::SessionHost {
 public:
  SessionMessages(Host& host, std::ostream& err) : host_(host), err_(err) {}
  void message(msi::MessageKind kind, std::string_view text) override;

 private:
  Host& host_;
  std::ostream& err_;
};

}  // namespace fennick::ui
