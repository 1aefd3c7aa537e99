// Rows of the CustomAction table run as actions. The Type column is a basic type (low six
// bits: target kind and source kind) plus option bits; in a user-interface sequence only these
// options change what happens:
// - 0x400 (in-script: deferred, with 0x100 rollback, with 0x200 commit): the action would be
//   written into the installation script, which this engine never runs;
// - 0x200 without 0x400 (once per process): a second call in the same session does nothing.
// 0x100 and 0x300 without 0x400 only decide between the UI and execute sequences, 0x40
// (ignore the return code) matters only for native code, and 0x80, 0x800, 0x1000, 0x2000,
// 0x4000 concern how native code runs.
#include "engine/session/session_state.h"
#include "engine/session/table_rows.h"
#include "engine/text/integers.h"

namespace msi {
namespace {

using State = Session::State;

constexpr int kInScript = 0x400;
constexpr int kSchedulingMask = 0x300;
constexpr int kOncePerProcess = 0x200;

std::string describe(int type) {
  static const char* targets[] = {"unknown code", "DLL", "EXE", "text", "unknown code",
                                  "JScript", "VBScript", "nested installation"};
  static const char* sources[] = {"in the Binary table", "in an installed file",
                                  "in a directory", "named by a property"};
  return std::string(targets[type & 7]) + " " + sources[(type >> 4) & 3];
}

ActionStatus errorAction(State& s, std::string_view target) {
  const std::string text = s.format(target);
  std::string message = text;
  if (auto number = text::parseInt32(text, text::PlusSign::Allowed); number && s.db->hasTable("Error")) {
    Table& errors = s.db->table("Error");
    if (auto row = errors.find(Row{Value(*number)})) {
      const auto column = errors.schema().indexOf("Message");
      const Row& r = errors.row(*row);
      if (column && *column < r.size()) message = s.format(r[*column].text());
    }
  }
  s.report(MessageKind::Error, message);
  return ActionStatus::Failure;
}

}  // namespace

std::optional<ActionStatus> runCustomAction(State& s, std::string_view name) {
  if (!s.db->hasTable("CustomAction")) return std::nullopt;
  const auto index = s.db->table("CustomAction").find(Row{Value(name)});
  if (!index) return std::nullopt;
  const TableRows rows(*s.db, "CustomAction", {"Type", "Source", "Target"});
  const int type = rows.integer(*index, 0).value_or(0);
  const std::string source = rows.text(*index, 1);
  const std::string target = rows.text(*index, 2);
  const std::string label = "custom action `" + std::string(name) + "` (type " +
                            std::to_string(type) + ")";

  if (type & kInScript) {
    s.report(MessageKind::Warning,
             label + " is deferred to the installation script, which this engine does not run; "
                     "skipped");
    return ActionStatus::Success;
  }
  if ((type & kSchedulingMask) == kOncePerProcess && s.ranOnce.count(name))
    return ActionStatus::Success;
  s.ranOnce.emplace(name);

  switch (type & 0x3F) {
    case 0x33:  // 51: a property set to formatted text
      if (!source.empty()) s.setProperty(source, s.format(target));
      return ActionStatus::Success;
    case 0x23:  // 35: a directory set to a formatted path
      try {
        s.setTargetPath(source, s.format(target));
      } catch (const Error& e) {
        s.report(MessageKind::Error, label + ": " + e.what());
        return ActionStatus::Failure;
      }
      return ActionStatus::Success;
    case 0x13:  // 19: an error message, and the installation ends
      return errorAction(s, target);
    default:
      break;
  }
  if (auto status = emulateHelper(s, name, type, source, target)) return *status;
  s.report(MessageKind::Warning,
           label + ", " + describe(type) + ", cannot run off Windows; skipped");
  (s.host ? *s.host : s.defaultHost).actionSkipped(name, describe(type));
  return ActionStatus::Success;
}

}  // namespace msi
