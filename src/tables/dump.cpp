#include "src/tables/working_tables.h"

namespace fennick::tables {
namespace {

void WriteEscaped(std::ostream& out, const std::string& value) {
  for (char c : value) {
    switch (c) {
      case '\t': out << "\\t"; break;
      case '\n': out << "\\n"; break;
      case '\r': out << "\\r"; break;
      case '\\': out << "\\\\"; break;
      default: out << c;
    }
  }
}

}  // namespace

void DumpTables(const WorkingTables& tables, std::ostream& out) {
  for (const WorkingTable* table : tables.All()) {
    out << "# " << table->Name() << '\n';
    for (std::size_t row = 1; row <= table->RowCount(); ++row) {
      WriteEscaped(out, table->RowText(row));
      for (std::size_t item = 1; item <= table->SubItemCount(row); ++item) {
        out << '\t';
        WriteEscaped(out, table->SubItemText(row, item));
      }
      out << '\n';
    }
  }
}

}  // namespace fennick::tables
