#include "engine/dialogs/walk.h"

#include "engine/dialogs/wizard.h"


namespace msi::dialogs {
namespace {

struct Cursor {
  std::string_view line;
  std::size_t pos = 0;
  const std::string& name;
  std::size_t number;

  [[noreturn]] void fail(const std::string& cause) const {
    throw WalkError(name + ":" + std::to_string(number) + ": " + cause);
  }
  void skipBlanks() {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  }
  bool atEnd() {
    skipBlanks();
    return pos >= line.size() || line[pos] == '#';
  }
  // A bare word or a quoted value.
  std::string token(const char* what) {
    if (atEnd()) fail(std::string("missing ") + what);
    if (line[pos] == '"') return quoted(what);
    std::size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '#') ++pos;
    return std::string(line.substr(start, pos - start));
  }
  std::string quoted(const char* what) {
    std::string out;
    ++pos;
    while (pos < line.size()) {
      char c = line[pos++];
      if (c == '"') return out;
      if (c == '\\') {
        if (pos >= line.size()) break;
        char e = line[pos++];
        if (e == 'n')
          out += '\n';
        else if (e == 'r')
          out += '\r';
        else if (e == '"' || e == '\\')
          out += e;
        else
          fail(std::string("unknown escape \\") + e + " in " + what);
      } else {
        out += c;
      }
    }
    fail(std::string("unterminated quoted ") + what);
  }
  void end() {
    if (!atEnd()) fail("unexpected text `" + std::string(line.substr(pos)) + "`");
  }
};

}  // namespace

std::string quoteWalkValue(std::string_view value) {
  std::string out = "\"";
  for (char c : value) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
  }
  return out + '"';
}

namespace {

// A name is written bare when it reads back as itself; otherwise quoted.
std::string walkName(std::string_view name) {
  const bool bare = !name.empty() && name.front() != '"' &&
                    name.find_first_of(" \t#\r\n") == std::string_view::npos;
  return bare ? std::string(name) : quoteWalkValue(name);
}

// One operation from a line that holds more than blanks and a comment.
WalkStep parseStep(Cursor& c) {
  const std::string verb = c.token("operation");
  WalkStep step{};
  step.line = c.number;
  if (verb == "dialog" || verb == "press") {
    step.kind = verb == "dialog" ? WalkStep::Kind::Dialog : WalkStep::Kind::Press;
    step.target = c.token(verb == "dialog" ? "dialog name" : "control name");
  } else if (verb == "set" || verb == "choose") {
    step.kind = verb == "set" ? WalkStep::Kind::Set : WalkStep::Kind::Choose;
    step.target = c.token("control name");
    step.value = c.token("value");
  } else if (verb == "feature") {
    step.kind = WalkStep::Kind::Feature;
    step.target = c.token("feature name");
    step.value = c.token("state");
    if (!parseFeatureChoice(step.value))
      c.fail("feature state must be local, source, advertise, absent, all-local or all-source, not `" + step.value +
             "`");
  } else if (verb == "save") {
    step.kind = WalkStep::Kind::Save;
    c.skipBlanks();
    const bool quotedPath = c.pos < c.line.size() && c.line[c.pos] == '"';
    step.value = c.token("path or cancel");
    step.cancel = !quotedPath && step.value == "cancel";
    if (step.cancel) step.value.clear();
    if (!step.cancel && step.value.empty()) c.fail("save needs a path");
  } else {
    c.fail("unknown operation `" + verb + "`");
  }
  c.end();
  return step;
}

}  // namespace

std::string WalkStep::describe() const {
  switch (kind) {
    case Kind::Dialog: return "dialog " + walkName(target);
    case Kind::Set: return "set " + walkName(target) + " " + quoteWalkValue(value);
    case Kind::Choose: return "choose " + walkName(target) + " " + quoteWalkValue(value);
    case Kind::Feature: return "feature " + walkName(target) + " " + value;
    case Kind::Press: return "press " + walkName(target);
    case Kind::Save: return cancel ? "save cancel" : "save " + quoteWalkValue(value);
  }
  return {};
}

Walk Walk::parse(std::string_view text, std::string name) {
  Walk walk;
  walk.name_ = std::move(name);
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::size_t number = 0;
  for (;;) {
    const std::size_t eol = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, eol);
    Cursor c{line, 0, walk.name_, ++number};
    if (line.size() > kWalkMaxLineBytes)
      c.fail("the line is longer than " + std::to_string(kWalkMaxLineBytes / 1024) + " KiB");
    if (!c.atEnd()) walk.steps_.push_back(parseStep(c));
    if (eol == std::string_view::npos) break;
    text.remove_prefix(eol + (text.substr(eol, 2) == "\r\n" ? 2 : 1));
  }
  return walk;
}

const WalkStep& Walk::take() {
  if (next_ >= steps_.size()) throw WalkError(name_ + ": the walk ended, but the package expects more answers");
  return steps_[next_++];
}

std::string Walk::where() const {
  if (next_ < steps_.size()) return name_ + ":" + std::to_string(steps_[next_].line);
  return name_ + ": end of walk";
}

std::string Walk::text() const {
  std::string out;
  for (const auto& s : steps_) out += s.describe() + '\n';
  return out;
}

}  // namespace msi::dialogs
