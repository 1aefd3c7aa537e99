// Subcommands of fennick-msi. Each takes its arguments (after the subcommand's name) and
// returns the exit status; failures are thrown as msi::Error and reported by main.
#pragma once

#include <algorithm>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text/quoting.h"

namespace fennick::msicli {

using Args = std::vector<std::string>;

// Wrong arguments: reported with the usage text, exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int Tables(const Args& args, std::ostream& out);
int Export(const Args& args, std::ostream& out);
int Import(const Args& args, std::ostream& out);
int Query(const Args& args, std::ostream& out);
// summary PKG, or summary PKG --set NAME=VALUE...
int Summary(const Args& args, std::ostream& out);
int Streams(const Args& args, std::ostream& out);
int Extract(const Args& args, std::ostream& out);
// transform generate | apply | show | check
int Transform(const Args& args, std::ostream& out);
// The changes from A to B, as `transform show` lists them, without writing a transform.
int Diff(const Args& args, std::ostream& out);
int Session(const Args& args, std::ostream& out);

// Removes every `flag` (such as --json) from `args`; true when there was one.
inline bool TakeFlag(Args& args, std::string_view flag) {
  const auto end = std::remove(args.begin(), args.end(), flag);
  const bool found = end != args.end();
  args.erase(end, args.end());
  return found;
}

// One tab-separated field: tab, CR, LF and backslash escaped.
inline std::string Field(std::string_view text) { return msi::text::tabField(text); }

}  // namespace fennick::msicli
