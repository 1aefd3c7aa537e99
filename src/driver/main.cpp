// Entry point of the fennick executable: options, the host for the run, then Main.
#include <QApplication>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "src/driver/command_line.h"
#include "src/driver/output_file.h"
#include "src/driver/run_state.h"
#include "src/driver/session_driver.h"
#include "src/driver/skipped_actions.h"
#include "engine/session/machine_file.h"
#include "engine/dialogs/walk_player.h"
#include "engine/qt/qt_dialog_runner.h"
#include "src/ui/session_messages.h"
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

// With FENNICK_TIMING set, says on standard error when the first dialog reaches its runner
// (the walk player headless, the window interactively): the benchmarks read it.
class FirstDialogClock final : public msi::DialogRunner {
 public:
  explicit FirstDialogClock(msi::DialogRunner& inner)
      : inner_(inner), start_(std::chrono::steady_clock::now()), report_(std::getenv("FENNICK_TIMING") != nullptr) {}
  msi::ActionStatus runDialog(msi::Session& session, std::string_view dialog) override {
    if (report_) {
      report_ = false;
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      std::cerr << "fennick: first dialog after " << seconds << " s" << std::endl;
    }
    return inner_.runDialog(session, dialog);
  }

 private:
  msi::DialogRunner& inner_;
  std::chrono::steady_clock::time_point start_;
  bool report_;
};

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
    std::shared_ptr<msi::dialogs::Walk> walk;
    try {
      walk = std::make_shared<msi::dialogs::Walk>(msi::dialogs::Walk::load(*options.replayWalk));
    } catch (const msi::dialogs::WalkError& e) {
      std::cerr << "fennick: " << ui::TerminalText(e.what(), ui::LineBreaks::Escape) << "\n";
      return driver::kExitUsage;
    }
    ui::HeadlessHost host(std::cerr, walk);
    ui::SessionMessages messages(host, std::cerr);
    driver::SkippedActions skipped(messages);
    msi::dialogs::WalkPlayer player(walk);
    FirstDialogClock clock(player);
    installer::EngineSetup setup;
    setup.messages = &skipped;
    setup.dialogs = &clock;
    setup.afterAction = [&player] { player.rethrowMismatch(); };
    setup.machine = machine;
    setup.properties = options.properties;
    const int status =
        driver::Main(options, {host, [&] { return installer::CreateEngineInstaller(setup); }, std::cerr, false,
                               nullptr, machineProperties});
    skipped.print(std::cerr);
    return status;
  }
  if (!DisplayAvailable()) {
    std::cerr << "fennick: no display is available for an interactive run; "
                 "use --replay WALK to run headless\n";
    return driver::kExitUsage;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Fennick");
  ui::QtHost host;
  ui::SessionMessages messages(host, std::cerr);
  driver::SkippedActions skipped(messages);
  msi::dialogs::Walk recorded = msi::dialogs::Walk::parse("", options.recordWalk.value_or(""));
  msi::qt::QtDialogRunner dialogs(options.recordWalk ? &recorded : nullptr);
  FirstDialogClock clock(dialogs);
  if (options.recordWalk)
    host.onSaveAnswered = [&dialogs](const std::string& path) { dialogs.recorder()->recordSave(path); };
  installer::EngineSetup setup;
  setup.messages = &skipped;
  setup.dialogs = &clock;
  setup.machine = machine;
  setup.properties = options.properties;
  const int status =
      driver::Main(options, {host, [&] { return installer::CreateEngineInstaller(setup); }, std::cerr, true,
                             nullptr, machineProperties});
  skipped.print(std::cerr);
  if (options.recordWalk) {
    // Whatever the run's end, the answers given so far are kept.
    try {
      driver::WriteFileAtomically(*options.recordWalk, recorded.text());
    } catch (const std::exception& e) {
      std::cerr << "fennick: " << ui::TerminalText(e.what(), ui::LineBreaks::Escape) << "\n";
      return status == 0 ? driver::kExitFailure : status;
    }
  }
  return status;
}
