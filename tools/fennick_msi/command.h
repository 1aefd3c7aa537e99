// Subcommands of fennick-msi. Each takes its arguments (after the subcommand's name) and
// returns the exit status; failures are thrown as msi::Error and reported by main.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

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
int Summary(const Args& args, std::ostream& out);
// transform generate | apply | show
int Transform(const Args& args, std::ostream& out);
int Session(const Args& args, std::ostream& out);

// Makes a text safe for one tab-separated field: tab, CR, LF and backslash escaped.
std::string Field(const std::string& text);

}  // namespace fennick::msicli
