#include "src/driver/run_state.h"

#include "src/transform/transform.h"

#include <stdexcept>

namespace fennick::driver {

RunState::RunState() = default;
RunState::~RunState() = default;

RunState* g_run = nullptr;  // owned by Main's frame; see session_driver.cpp

RunState& Run() {
  if (!g_run) throw std::logic_error("no run in progress");
  return *g_run;
}

tables::WorkingTables& Tables() {
  RunState& run = Run();
  if (!run.tables) {
    run.tables.emplace();
    if (run.host) run.host->LoadTablesWindow();
  }
  return *run.tables;
}

void Pump() {
  if (g_run && g_run->host) g_run->host->Pump();
}

void Terminate(int status) { throw Termination{status}; }

}  // namespace fennick::driver
