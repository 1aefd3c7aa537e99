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

// The numeric value of INSTALLLEVEL: leading blanks are skipped, the number is read as far as
// it goes ("1 0" is 1), and a text with no leading number counts as 0.
double NumericValue(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  const std::string rest(text.substr(begin));
  std::size_t end = 0;
  if (end < rest.size() && (rest[end] == '+' || rest[end] == '-')) ++end;
  const std::size_t digitsStart = end;
  while (end < rest.size() && std::isdigit(static_cast<unsigned char>(rest[end]))) ++end;
  if (end < rest.size() && rest[end] == '.') {
    ++end;
    while (end < rest.size() && std::isdigit(static_cast<unsigned char>(rest[end]))) ++end;
  }
  if (end == digitsStart || (end == digitsStart + 1 && rest[digitsStart] == '.')) return 0.0;
  if (end < rest.size() && (rest[end] == 'e' || rest[end] == 'E')) {
    std::size_t exp = end + 1;
    if (exp < rest.size() && (rest[exp] == '+' || rest[exp] == '-')) ++exp;
    if (exp < rest.size() && std::isdigit(static_cast<unsigned char>(rest[exp]))) {
      while (exp < rest.size() && std::isdigit(static_cast<unsigned char>(rest[exp]))) ++exp;
      end = exp;
    }
  }
  return std::strtod(rest.substr(0, end).c_str(), nullptr);
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

namespace {

constexpr const char* kCreatePropertyTable =
    "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL LOCALIZABLE "
    "PRIMARY KEY `Property`)";

// One changed property: a value is assigned (row updated or inserted); an empty value means
// the user cleared it, so its row goes and the property is unset at install time. Returns
// whether the database changed.
bool WriteProperty(installer::Installer& installer, installer::Database& reference, const std::string& name,
                   const std::string& value) {
  if (!value.empty()) {
    auto view = reference.OpenView("SELECT `Property`, `Value` FROM `Property`");
    auto record = installer.CreateRecord(2);
    record->StringData(1, name);
    record->StringData(2, value);
    view->Modify(installer::kModifyAssign, *record);
    reference.Commit();
    return true;
  }
  auto view = reference.OpenView("SELECT `Property`, `Value` FROM `Property` WHERE `Property` = ?");
  auto key = installer.CreateRecord(1);
  key->StringData(1, name);
  view->Execute(key.get());
  auto row = view->Fetch();
  if (!row) return false;
  view->Modify(installer::kModifyDelete, *row);
  reference.Commit();
  return true;
}

}  // namespace

void WriteChanges() {
  driver::RunState& run = driver::Run();
  auto& tables = driver::Tables();
  installer::Database& reference = *run.referenceDatabase;
  run.propertiesWritten = 0;
  run.featuresWritten = 0;

  const std::size_t changedProperties = tables.lvPropertyChanged.RowCount();
  if (changedProperties > 0 && reference.TablePersistent("Property") == installer::kTableMissing) {
    auto create = reference.OpenView(kCreatePropertyTable);
    create->Execute();
    reference.Commit();
  }
  for (std::size_t i = 1; i <= changedProperties; ++i) {
    if (WriteProperty(*run.installer, reference, tables.lvPropertyChanged.RowText(i),
                      tables.lvPropertyChanged.SubItemText(i, 1)))
      ++run.propertiesWritten;
  }

  // Feature levels from the recaptured request states.
  const std::string baseLevel = BaseLevel(run.session->Property("INSTALLLEVEL"));
  const std::string raisedLevel = RaisedLevel(run.session->Property("INSTALLLEVEL"));
  const std::size_t features = tables.lvFeatureChanged.RowCount();
  for (std::size_t i = 1; i <= features; ++i) {
    const std::string name = tables.lvFeatureChanged.RowText(i);
    // The name travels as a parameter: a quote in it can neither break the query nor match
    // another row.
    auto featureView = reference.OpenView(
        "SELECT `Feature`,`Feature_Parent`,`Title`,`Description`,`Display`,`Level`,`Directory_`,`Attributes` "
        "FROM `Feature` WHERE `Feature` = ?");
    auto key = run.installer->CreateRecord(1);
    key->StringData(1, name);
    featureView->Execute(key.get());
    auto row = featureView->Fetch();
    if (!row) throw installer::Error("the reference database has no Feature row `" + name + "`");
    const std::string level = row->StringData(6);
    const std::string attributes = row->StringData(8);
    const std::string state = tables.lvFeatureChanged.SubItemText(i, 1);
    // The recapture lists the snapshot's features in its order.
    const std::string snapshot = i <= tables.lvFeature.RowCount() ? tables.lvFeature.SubItemText(i, 1) : state;
    const bool disabledByPackage = level == "0" && state == "-1" && snapshot == "-1";
    if (state == "-1" && !disabledByPackage) {
      row->StringData(6, raisedLevel);
    } else if (state == "1") {
      row->StringData(6, baseLevel);
      row->StringData(8, "4");
    } else if (state == "3" || state == "4") {
      row->StringData(6, baseLevel);
    }
    if (row->StringData(6) != level || row->StringData(8) != attributes) ++run.featuresWritten;
    featureView->Modify(installer::kModifyUpdate, *row);
    reference.Commit();
  }
  reference.Commit();
  driver::Pump();
}

}  // namespace fennick::transform
