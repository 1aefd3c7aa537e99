// Walk files: a user's answers to a package's dialogs, one operation a line, so a walk made
// interactively can be replayed headless.
//
//   dialog InstallDirDlg                 # expect this dialog to be the active one
//   set Folder "C:\\Apps\\Demo\\"        # type a value into an edit-like control
//   set LicenseAccepted on               # check box: on | off
//   choose InstallType "Custom"          # radio group / combo / list item by its value
//   feature Documentation absent         # selection tree: local | source | advertise | absent,
//                                        # or for the feature and all below it all-local | all-source
//   press Next                           # push button: runs its control events
//   save "out/demo.mst"                  # answer the save-transform prompt (or: save cancel)
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace msi::dialogs {

// A walk that cannot be read, or that does not match the package being played.
class WalkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A walk is a person's answers, so a few KiB; the bounds keep a wrong argument (a device, a
// huge file) from being read without end.
inline constexpr std::size_t kWalkMaxFileBytes = std::size_t{16} << 20;
inline constexpr std::size_t kWalkMaxLineBytes = std::size_t{64} << 10;

struct WalkStep {
  enum class Kind { Dialog, Set, Choose, Feature, Press, Save };
  Kind kind;
  std::string target;  // dialog, control or feature name; empty for save
  std::string value;   // value, state, or the save path; empty for dialog/press
  bool cancel = false; // save cancel
  std::size_t line = 0;

  std::string describe() const;  // the step as it is written in a walk file
};

class Walk {
 public:
  // Parses walk text; `name` is used in errors ("<name>:<line>: <cause>"). A leading UTF-8
  // byte-order mark is skipped; lines end with CR, LF or CRLF and hold at most
  // kWalkMaxLineBytes.
  static Walk parse(std::string_view text, std::string name);
  // Reads a regular file of at most kWalkMaxFileBytes (/dev/null: an empty walk); anything
  // else is a WalkError.
  static Walk load(const std::filesystem::path& path);

  const std::string& name() const { return name_; }
  const std::vector<WalkStep>& steps() const { return steps_; }

  // Player side: the next step, without taking it; nullopt at the end.
  const WalkStep* peek() const { return next_ < steps_.size() ? &steps_[next_] : nullptr; }
  const WalkStep& take();  // throws WalkError at the end
  // "<name>:<line>" of the next step, or "<name>: end of walk".
  std::string where() const;

  // Recorder side.
  void append(WalkStep step) { steps_.push_back(std::move(step)); }
  std::string text() const;
  void save(const std::filesystem::path& path) const;

 private:
  std::string name_;
  std::vector<WalkStep> steps_;
  std::size_t next_ = 0;
};

// Quotes a value for a walk file: double quotes, with \" and \\ escapes, and \n and \r for
// the line breaks a multi-line edit can hold. Names (dialogs, controls, features) are
// written bare, or quoted the same way when they hold blanks, "#" or quotes.
std::string quoteWalkValue(std::string_view value);

}  // namespace msi::dialogs
