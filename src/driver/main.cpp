// Entry point of the fennick executable: options, the host for the run, then Main.
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "src/driver/closing_line.h"
#include "src/driver/command_line.h"
#include "src/driver/output_file.h"
#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "src/driver/skipped_actions.h"
#include "engine/session/machine_file.h"
#include "src/ui/session_messages.h"
#include "src/installer/engine_dialog_host.h"
#include "src/installer/engine_installer.h"
#include "src/ui/headless_host.h"
#include "src/ui/qt_host.h"
#include "src/ui/terminal_text.h"

#ifndef FENNICK_VERSION
#define FENNICK_VERSION "0.0.0"
#endif

namespace {

bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && (std::string(platform).rfind("offscreen", 0) == 0 || std::string(platform).rfind("minimal", 0) == 0))
    return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

// Runs the job on the engine backend with `host` and `dialogs`, then lists the helper actions
// the run skipped.
int RunWith(const fennick::driver::Options& options, fennick::ui::Host& host,
            std::shared_ptr<fennick::installer::EngineDialogHost> dialogs,
            const std::optional<msi::EmulatedMachine>& machine, const std::vector<std::string>& machineProperties,
            bool interactive) {
  using namespace fennick;
  ui::SessionMessages messages(host, std::cerr);
  driver::SkippedActions skipped(messages);
  installer::EngineSetup setup;
  setup.messages = &skipped;
  setup.dialogs = std::move(dialogs);
  setup.machine = machine;
  setup.properties = options.properties;
  const int status = driver::Main(
      options, {host, [&] { return installer::CreateEngineInstaller(setup); }, std::cerr, interactive, nullptr,
                machineProperties});
  skipped.print(std::cerr);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace fennick;
  std::vector<std::string> args(argv + 1, argv + argc);
  driver::Options options;
  try {
    options = driver::ParseCommandLine(args);
  } catch (const driver::UsageError& e) {
    std::cerr << "fennick: " << ui::TerminalText(e.what(), ui::LineBreaks::Escape) << "\nTry 'fennick --help' for more information.\n";
    return driver::kExitUsage;
  }
  if (options.help) {
    std::cout << driver::UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "fennick " FENNICK_VERSION "\n";
    return 0;
  }

  // The machine is read before anything runs: a faulty machine file is wrong usage.
  std::optional<msi::EmulatedMachine> machine;
  std::vector<std::string> machineProperties;
  if (options.machine) {
    try {
      machine = msi::loadMachine(*options.machine);
    } catch (const std::exception& e) {
      std::cerr << "fennick: " << ui::TerminalText(e.what(), ui::LineBreaks::Escape) << "\n";
      return driver::kExitUsage;
    }
    for (const auto& [name, value] : machine->extraProperties) machineProperties.push_back(name);
  }

  if (options.replayWalk) {
    // Headless: no window and no display needed. Pumping has nothing to do without windows.
    std::shared_ptr<installer::EngineDialogHost> dialogs;
    try {
      dialogs = installer::PlayWalk(*options.replayWalk);
    } catch (const installer::WalkMismatch& e) {
      std::cerr << "fennick: " << ui::TerminalText(e.what(), ui::LineBreaks::Escape) << std::endl;
      std::cout << driver::ClosingLine(driver::kExitUsage, nullptr) << std::endl;
      return driver::kExitUsage;
    }
    ui::HeadlessHost host(std::cerr, dialogs);
    return RunWith(options, host, dialogs, machine, machineProperties, false);
  }
  if (!DisplayAvailable()) {
    std::cerr << "fennick: no display is available for an interactive run; "
                 "use --replay WALK to run headless\n";
    return driver::kExitUsage;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Fennick");
  ui::QtHost host;
  const auto dialogs = installer::ShowDialogs(options.recordWalk.has_value());
  host.onSaveAnswered = [&dialogs](const std::string& path) { dialogs->SaveAnswered(path); };
  const int status = RunWith(options, host, dialogs, machine, machineProperties, true);
  if (const auto recording = dialogs->Recording()) {
    // Whatever the run's end, the answers given so far are kept.
    try {
      driver::WriteFileAtomically(*options.recordWalk, *recording);
    } catch (const std::exception& e) {
      std::cerr << "fennick: " << ui::TerminalText(e.what(), ui::LineBreaks::Escape) << "\n";
      return status == 0 ? driver::kExitFailure : status;
    }
  }
  return status;
}
