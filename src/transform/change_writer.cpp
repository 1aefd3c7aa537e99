#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "src/driver/run_state.h"
#include "src/transform/transform.h"

namespace fennick::transform {
namespace {

std::string TrimSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The numeric value of a text read the lenient way: blanks, tabs and line feeds are skipped
// wherever they stand, the number is read as far as it goes, no leading number gives 0.
double NumericValue(std::string_view text) {
  std::string compact;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') compact += c;
  std::size_t end = 0;
  if (end < compact.size() && (compact[end] == '+' || compact[end] == '-')) ++end;
  const std::size_t digitsStart = end;
  while (end < compact.size() && std::isdigit(static_cast<unsigned char>(compact[end]))) ++end;
  if (end < compact.size() && compact[end] == '.') {
    ++end;
    while (end < compact.size() && std::isdigit(static_cast<unsigned char>(compact[end]))) ++end;
  }
  if (end == digitsStart || (end == digitsStart + 1 && compact[digitsStart] == '.')) return 0.0;
  if (end < compact.size() && (compact[end] == 'e' || compact[end] == 'E')) {
    std::size_t exp = end + 1;
    if (exp < compact.size() && (compact[exp] == '+' || compact[exp] == '-')) ++exp;
    if (exp < compact.size() && std::isdigit(static_cast<unsigned char>(compact[exp]))) {
      while (exp < compact.size() && std::isdigit(static_cast<unsigned char>(compact[exp]))) ++exp;
      end = exp;
    }
  }
  return std::strtod(compact.substr(0, end).c_str(), nullptr);
}

std::string NumberText(double value) {
  char buf[64];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", value);
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", value);
  }
  std::string text = buf;
  if (text == "-0") text = "0";
  return text;
}

}  // namespace

std::string BaseLevel(std::string_view installLevel) { return TrimSpaces(installLevel); }

std::string RaisedLevel(std::string_view installLevel) {
  return TrimSpaces(NumberText(NumericValue(installLevel) + 1.0));
}

void WriteChanges() {
  driver::RunState& run = driver::Run();
  auto& tables = driver::Tables();
  installer::Database& reference = *run.referenceDatabase;

  // Properties: the first Property row serves as a two-field buffer written with assign.
  auto propertyView = reference.OpenView("SELECT `Property`, `Value` FROM `Property` ORDER BY `Property`");
  propertyView->Execute();
  auto buffer = propertyView->Fetch();
  const std::size_t changedProperties = tables.lvPropertyChanged.RowCount();
  for (std::size_t i = 1; i <= changedProperties; ++i) {
    if (!buffer)
      throw installer::Error("the reference database's Property table is empty: no record to write property " +
                             tables.lvPropertyChanged.RowText(i) + " with");
    const std::string value = tables.lvPropertyChanged.SubItemText(i, 1);
    buffer->StringData(1, tables.lvPropertyChanged.RowText(i));
    buffer->StringData(2, value);
    if (!value.empty()) {
      propertyView->Modify(installer::kModifyAssign, *buffer);
      reference.Commit();
    }
  }

  // Feature levels from the recaptured request states.
  const std::string baseLevel = BaseLevel(run.session->Property("INSTALLLEVEL"));
  const std::string raisedLevel = RaisedLevel(run.session->Property("INSTALLLEVEL"));
  std::shared_ptr<installer::View> featureView;
  const std::size_t features = tables.lvFeatureChanged.RowCount();
  for (std::size_t i = 1; i <= features; ++i) {
    const std::string name = tables.lvFeatureChanged.RowText(i);
    featureView = reference.OpenView(
        "SELECT `Feature`,`Feature_Parent`,`Title`,`Description`,`Display`,`Level`,`Directory_`,`Attributes` "
        "FROM `Feature` WHERE `Feature`='" + name + "'");
    featureView->Execute();
    auto row = featureView->Fetch();
    if (!row) throw installer::Error("the reference database has no Feature row `" + name + "`");
    const std::string state = tables.lvFeatureChanged.SubItemText(i, 1);
    if (state == "-1") {
      row->StringData(6, raisedLevel);
    } else if (state == "1") {
      row->StringData(6, baseLevel);
      row->StringData(8, "4");
    } else if (state == "3" || state == "4") {
      row->StringData(6, baseLevel);
    }
    featureView->Modify(installer::kModifyUpdate, *row);
    reference.Commit();
  }
  reference.Commit();
  driver::Pump();
}

}  // namespace fennick::transform
