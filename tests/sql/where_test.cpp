// WHERE with parameters. (Null against '', integer ordering with nulls and the type rules:
// queries.txt.)
#include <gtest/gtest.h>

#include "tests/sql/query_helpers.h"

namespace fennick::test {
namespace {

class SqlWhere : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& t = addTable(db, "Item", {{"Name", "s72"}, {"Label", "S64"}, {"Level", "I2"}, {"Size", "I4"}}, 1);
    t.insert({msi::Value("a"), msi::Value("Alpha"), msi::Value(1), msi::Value(100000)});
    t.insert({msi::Value("b"), msi::Value(), msi::Value(3), msi::Value()});
    t.insert({msi::Value("c"), msi::Value("alpha"), msi::Value(), msi::Value(-5)});
    t.insert({msi::Value("d"), msi::Value("Beta"), msi::Value(-2), msi::Value(7)});
  }
  std::vector<std::string> names(std::string_view where, const msi::Record* params = nullptr) {
    std::vector<std::string> out;
    for (const auto& row : queryRows(db, "SELECT `Name` FROM `Item` WHERE " + std::string(where), params))
      out.push_back(row[0]);
    return out;
  }
  std::unique_ptr<msi::Database> owner = newDatabase();
  msi::Database& db = *owner;
};

using Names = std::vector<std::string>;

TEST_F(SqlWhere, ParametersTakeTheTypeOfTheirColumn) {
  const msi::Record params = recordOf({msi::Value("3"), msi::Value(1)});  // text for an integer
  EXPECT_EQ(names("`Level` = ? OR `Level` = ?", &params), (Names{"a", "b"}));
  const msi::Record number = recordOf({msi::Value(7)});
  EXPECT_EQ(names("`Name` = ?", &number), Names{});  // compared as the text "7"
  msi::Record empty(1);
  EXPECT_EQ(names("`Label` = ?", &empty), Names{"b"});
  EXPECT_EQ(names("`Level` = ?", &empty), Names{"c"});
}

TEST_F(SqlWhere, RefusesBadParameters) {
  auto view = msi::View::open(db, "SELECT * FROM Item WHERE Level = ? AND Name = ?");
  const msi::Record one = recordOf({msi::Value(1)});
  EXPECT_EQ(errorOf([&] { view->execute(&one); }),
            "query `SELECT * FROM Item WHERE Level = ? AND Name = ?`: the query has 2 "
            "parameters but the record has 1 fields");
  EXPECT_NE(errorOf([&] { view->execute(nullptr); }), "");
  const msi::Record text = recordOf({msi::Value("high"), msi::Value("a")});
  EXPECT_EQ(errorOf([&] { view->execute(&text); }),
            "query `SELECT * FROM Item WHERE Level = ? AND Name = ?`: parameter 1: column "
            "`Level`: 'high' is not an integer");
}

}  // namespace
}  // namespace fennick::test
