#include "engine/text/quoting.h"
#include "src/tables/working_tables.h"

namespace fennick::tables {

void DumpTables(const WorkingTables& tables, std::ostream& out) {
  for (const WorkingTable* table : tables.All()) {
    out << "# " << table->Name() << '\n';
    for (std::size_t row = 1; row <= table->RowCount(); ++row) {
      out << msi::text::tabField(table->RowText(row));
      for (std::size_t item = 1; item <= table->SubItemCount(row); ++item) {
        out << '\t';
        out << msi::text::tabField(table->SubItemText(row, item));
      }
      out << '\n';
    }
  }
}

}  // namespace fennick::tables
