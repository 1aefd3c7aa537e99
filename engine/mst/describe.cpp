// describeTransform and formatChange: a transform's changes as lines of text.
//
// Table layouts come from the base database (after the transform's own column changes), else
// from the transform's `_Columns` records for tables it adds, else from the standard layouts,
// taking the first one whose records decode cleanly.
#include <map>

#include "engine/mst/catalogue_changes.h"
#include "engine/mst/record_values.h"
#include "engine/mst/row_key.h"
#include "engine/mst/standard_tables.h"
#include "engine/mst/transform.h"
#include "engine/text/quoting.h"

namespace msi::mst {
namespace {

std::string valueText(const Value& v) {
  if (v.isBlob()) return "[binary " + std::to_string(v.asBlob().bytes().size()) + " bytes]";
  return v.text();
}

std::vector<Column> persistentColumns(const Schema& schema) {
  std::vector<Column> out;
  for (const auto& c : schema.columns)
    if (!c.temporary) out.push_back(c);
  return out;
}

std::vector<DecodedRecord> decodeAll(const TransformFile& file, const std::string& table,
                                     const std::vector<Column>& columns) {
  std::vector<DecodedRecord> out;
  const auto raw = file.records(table, columns);
  for (std::size_t i = 0; i < raw.size(); ++i)
    out.push_back(decodeRecord(file, table, columns, raw[i],
                               file.name() + ": table `" + table + "`, record " + std::to_string(i + 1)));
  return out;
}

class Describer {
 public:
  Describer(const TransformFile& file, Database* base) : file_(file), base_(base) {}

  std::vector<Change> run() {
    const CatalogueChanges catalogue = readCatalogueChanges(file_);
    const int codepage = file_.codepage();
    if (codepage != 0 && (!base_ || base_->codepage() != codepage))
      add(Change::Codepage, "", "", "", base_ ? std::to_string(base_->codepage()) : "", std::to_string(codepage));
    for (const TableEvent& e : catalogue.tables) {
      add(e.add ? Change::AddTable : Change::DropTable, e.table, "", "", "", "");
      if (e.add) added_[e.table];
    }
    for (const ColumnEvent& e : catalogue.columns) {
      add(Change::AddColumn, e.table, "", e.column.name, "", e.column.definition() + (e.column.key ? " key" : ""));
      appended_[e.table].push_back(e.column);
    }
    for (const std::string& table : file_.tables())
      if (table != "_Tables" && table != "_Columns") describeRows(table);
    return std::move(out_);
  }

 private:
  void add(Change::Kind kind, std::string table, std::string key, std::string column, std::string oldValue,
           std::string newValue) {
    out_.push_back(Change{kind, std::move(table), std::move(key), std::move(column), std::move(oldValue),
                          std::move(newValue), false});
  }

  // The layout of `table` and whether the base holds its rows.
  bool layout(const std::string& table, std::vector<Column>& columns, std::vector<DecodedRecord>& records) {
    const auto appended = appended_.find(table);
    if (base_ && base_->isPersistent(table) && !added_.count(table)) {
      columns = persistentColumns(base_->table(table).schema());
      if (appended != appended_.end())
        for (const Column& c : appended->second)
          if (!std::any_of(columns.begin(), columns.end(), [&](const Column& x) { return x.name == c.name; }))
            columns.push_back(c);
      records = decodeAll(file_, table, columns);
      return true;
    }
    if (appended != appended_.end() && added_.count(table)) {
      columns = appended->second;
      records = decodeAll(file_, table, columns);
      return true;
    }
    for (auto& candidate : standardLayouts(table)) {
      if (appended != appended_.end()) candidate.insert(candidate.end(), appended->second.begin(), appended->second.end());
      try {
        records = decodeAll(file_, table, candidate);
        columns = std::move(candidate);
        return true;
      } catch (const Error&) {
        // not this layout
      }
    }
    return false;
  }

  void describeRows(const std::string& table) {
    std::vector<Column> columns;
    std::vector<DecodedRecord> records;
    if (!layout(table, columns, records)) {
      add(Change::Undecoded, table, "", "", "",
          std::to_string(file_.streamSize(table)) + " bytes of changes; the table's layout needs the base package");
      return;
    }
    const std::vector<std::size_t> keys = keyColumns(columns);
    Table* old = base_ && base_->isPersistent(table) && !added_.count(table) ? &base_->table(table) : nullptr;
    for (const DecodedRecord& r : records) {
      const std::string key = keyText(r.values, keys);
      const Row* before = nullptr;
      if (old) {
        Row keyRow;
        for (const std::size_t k : keys) keyRow.push_back(r.values[k]);
        if (const auto i = old->find(keyRow)) before = &old->row(*i);
      }
      // A change of one cell; binary cells are marked, so that readers can name their streams.
      const auto cell = [&](Change::Kind kind, std::size_t c, std::string oldValue, std::string newValue) {
        add(kind, table, key, columns[c].name, std::move(oldValue), std::move(newValue));
        out_.back().binary = columns[c].type == ColumnType::Binary;
      };
      const auto oldText = [&](std::size_t c) {
        return before && c < before->size() ? valueText((*before)[c]) : std::string();
      };
      switch (r.kind) {
        case RawRecord::Insert:
          for (std::size_t c = 0; c < columns.size(); ++c)
            if (r.carried[c]) cell(Change::InsertRow, c, oldText(c), valueText(r.values[c]));
          break;
        case RawRecord::Update:
          for (std::size_t c = 0; c < columns.size(); ++c)
            if (r.carried[c] && !columns[c].key)
              cell(Change::UpdateCell, c, oldText(c), valueText(r.values[c]));
          break;
        case RawRecord::Delete:
          if (!before) {
            add(Change::DeleteRow, table, key, "", "", "");
            break;
          }
          for (std::size_t c = 0; c < columns.size(); ++c)
            cell(Change::DeleteRow, c, oldText(c), "");
          break;
      }
    }
  }

  const TransformFile& file_;
  Database* base_;
  std::vector<Change> out_;
  std::map<std::string, std::vector<Column>> appended_;  // columns from `_Columns` records, by table
  std::map<std::string, bool> added_;                    // tables the transform adds
};

}  // namespace

std::vector<Change> describeTransform(const std::filesystem::path& mst, Database* base) {
  const TransformFile file = TransformFile::open(mst);
  return Describer(file, base).run();
}

std::vector<Change> describeTransform(std::shared_ptr<const cfb::Reader> mst, Database* base) {
  if (!mst) throw Error("no transform to describe");
  const TransformFile file = TransformFile::fromReader(std::move(mst));
  return Describer(file, base).run();
}

std::string formatChange(const Change& change) {
  static const char* const kOperations[] = {"add-table", "drop-table", "add-column", "insert",
                                            "update",    "delete",     "codepage",   "undecoded"};
  std::string line = kOperations[change.kind];
  for (const std::string* field : {&change.table, &change.key, &change.column, &change.oldValue, &change.newValue}) {
    line += '\t';
    text::appendTabField(line, *field);
  }
  return line;
}

}  // namespace msi::mst
