// Runs every case of queries.txt (rows a query returns, its columns, or the error opening or
// running it gives) and reports all mismatches at once; the limits of the parser, which the
// corpus cannot hold, beside it.
#include <fstream>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "engine/sql/parser.h"
#include "tests/sql/query_helpers.h"
#include "tests/support/msitools.h"

namespace fennick::test {
namespace {

// The rows as the corpus writes them: fields joined by ",", rows by " | ", "-" for none.
std::string written(const TextRows& rows) {
  std::string out;
  for (const auto& row : rows) {
    out += out.empty() ? "" : " | ";
    for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "," : "") + row[i];
  }
  return out.empty() ? "-" : out;
}

TEST(QueryCorpus, EveryCaseGivesItsExpectedRowsOrError) {
  const std::string file = std::filesystem::path(__FILE__).parent_path() / "queries.txt";
  std::ifstream in(file);
  ASSERT_TRUE(in) << file;
  const auto db = newDatabase();
  std::ostringstream mismatches;
  std::optional<msi::Record> params;  // for the next case only
  int cases = 0, lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields = split(line, '\t');
    std::istringstream words(fields[0]);
    std::string word, name;
    words >> word >> name;
    if (word == "@table") {  // @table NAME KEYS COLUMN:TYPE ...
      std::size_t keys = 0;
      words >> keys;
      std::vector<std::pair<std::string, std::string>> columns;
      for (std::string column; words >> column;)
        columns.emplace_back(column.substr(0, column.find(':')), column.substr(column.find(':') + 1));
      addTable(*db, name, columns, keys);
    } else if (word == "@row") {  // @row NAME<TAB>VALUE...
      msi::Table& table = db->table(name);
      msi::Row row;
      for (std::size_t i = 0; i < table.schema().columns.size(); ++i) {
        const std::string value = i + 1 < fields.size() ? fields[i + 1] : "";
        if (value.empty())
          row.emplace_back();
        else if (table.schema().columns[i].type == msi::ColumnType::Integer)
          row.emplace_back(std::stoi(value));
        else
          row.emplace_back(value);
      }
      table.insert(row);
    } else if (word == "@params") {  // @params<TAB>VALUE...: 'text', a number, or NULL
      params.emplace(fields.size() - 1);
      for (std::size_t i = 1; i < fields.size(); ++i) {
        if (fields[i].starts_with("'"))
          params->setField(i, msi::Value(fields[i].substr(1, fields[i].size() - 2)));
        else if (fields[i] != "NULL")
          params->setField(i, msi::Value(std::stoi(fields[i])));
      }
    } else {
      ASSERT_GE(fields.size(), 2u) << "queries.txt:" << lineNumber << ": no tab";
      const std::string expected = fields[0], sql = line.substr(expected.size() + 1);
      ++cases;
      const std::string prefix = "query `" + sql + "`: ";
      const auto cause = [&](const std::string& error) {
        return error.starts_with(prefix) ? error.substr(prefix.size()) : error;
      };
      std::string got;
      if (expected.starts_with("!") && !expected.starts_with("!!")) {
        got = "!" + cause(errorOf([&] { msi::View::open(*db, sql); }));
      } else if (expected.starts_with("=")) {
        const std::string error = errorOf([&] {
          const auto view = msi::View::open(*db, sql);
          const auto names = view->columnNames(), definitions = view->columnDefinitions();
          got = "=";
          for (std::size_t i = 0; i < names.size(); ++i) got += (i ? "," : "") + names[i] + ":" + definitions[i];
        });
        if (!error.empty()) got = "!" + cause(error);
      } else {
        const std::string error = errorOf([&] { got = written(queryRows(*db, sql, params ? &*params : nullptr)); });
        if (!error.empty()) got = "!!" + cause(error);
      }
      params.reset();
      if (got != expected)
        mismatches << "\n  queries.txt:" << lineNumber << ": `" << sql << "` gave `" << got << "`";
    }
  }
  EXPECT_TRUE(mismatches.str().empty()) << "mismatches:" << mismatches.str();
  EXPECT_GE(cases, 135);
}

// Limits of the parser: nesting and length.
std::string parseError(std::string_view sql) {
  return errorOf([&] { msi::sql::parse(sql); });
}

TEST(SqlParser, DeepNestingIsRefusedNotOverflowed) {
  std::string deep = "SELECT a FROM t WHERE " + std::string(10000, '(') + "a = 1" + std::string(10000, ')');
  EXPECT_NE(parseError(deep).find("parentheses nest too deeply"), std::string::npos);
  std::string fine = "SELECT a FROM t WHERE " + std::string(30, '(') + "a = 1" + std::string(30, ')');
  EXPECT_EQ(parseError(fine), "");
  // A long chain of AND and OR needs no nesting at all.
  std::string chain = "SELECT a FROM t WHERE a = 1";
  for (int i = 0; i < 100000; ++i) chain += i % 3 ? " AND a = 1" : " OR a = 1";
  EXPECT_EQ(parseError(chain), "");
}

TEST(SqlParser, LongQueriesAreShortenedInMessages) {
  const std::string sql = "SELECT " + std::string(500, 'x') + " FROM";
  const std::string message = parseError(sql);
  EXPECT_LT(message.size(), 400u);
  EXPECT_NE(message.find("...`: expected a table name, found end of query at offset 512"), std::string::npos);
}

}  // namespace
}  // namespace fennick::test
