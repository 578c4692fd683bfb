// The JET-to-SQLite translation and type mapping of the stand-in provider.
#include <gtest/gtest.h>

#include "JetDialect.h"

namespace jet {
namespace {

TEST(JetDialectTest, CounterBecomesAutoNumberedKey) {
  EXPECT_EQ("CREATE TABLE qmb_ra ( certificate_id  varchar(50) NULL, uid INTEGER PRIMARY KEY AUTOINCREMENT)",
            TranslateToSqlite("CREATE TABLE qmb_ra ( certificate_id  varchar(50) NULL, uid COUNTER(1,1))"));
  EXPECT_EQ("CREATE TABLE t ( id INTEGER PRIMARY KEY AUTOINCREMENT, x int )",
            TranslateToSqlite("CREATE TABLE t ( id counter, x int )"));
}

TEST(JetDialectTest, IdentityKeepsItsNamedPrimaryKey) {
  EXPECT_EQ("CREATE TABLE [share] ( [share_id]  INTEGER   CONSTRAINT [PK_share] PRIMARY KEY AUTOINCREMENT , "
            "[user_id] varchar(32)  NULL )",
            TranslateToSqlite("CREATE TABLE [share] ( [share_id]  int  IDENTITY CONSTRAINT [PK_share] PRIMARY KEY "
                              ", [user_id] varchar(32)  NULL )"));
}

TEST(JetDialectTest, OtherTextPassesUnchanged) {
  const std::string insert = "INSERT INTO [counter] ([identity]) VALUES ('COUNTER(1,1)')";
  EXPECT_EQ(insert, TranslateToSqlite(insert));
  const std::string quoted = "CREATE TABLE [counter] ( [name] varchar(10) DEFAULT 'counter' )";
  EXPECT_EQ(quoted, TranslateToSqlite(quoted));
}

TEST(JetDialectTest, DeclaredTypesAsJetReportsThem) {
  CJetColumnType type = JetTypeOfDeclaration("varchar(50)");
  EXPECT_EQ(kDbTypeWStr, type.dbType);
  EXPECT_EQ(50u, type.size);
  EXPECT_FALSE(type.isLong);
  type = JetTypeOfDeclaration("text");
  EXPECT_EQ(kDbTypeWStr, type.dbType);
  EXPECT_TRUE(type.isLong);
  EXPECT_EQ(kDbTypeI4, JetTypeOfDeclaration("int").dbType);
  EXPECT_EQ(kDbTypeI4, JetTypeOfDeclaration("INTEGER").dbType);
  EXPECT_EQ(kDbTypeDate, JetTypeOfDeclaration("datetime").dbType);
  EXPECT_EQ(kDbTypeBool, JetTypeOfDeclaration("bit").dbType);
  EXPECT_EQ(kDbTypeBytes, JetTypeOfDeclaration("varbinary(20)").dbType);
  EXPECT_EQ(255u, JetTypeOfDeclaration("").size);
}

TEST(JetDialectTest, ParameterMarkersFindTheirColumns) {
  EXPECT_EQ((std::vector<std::string>{"password"}),
            ParameterColumnNames("UPDATE [qmb_user] SET [password] = ? WHERE [login] = 'Administrator'"));
  EXPECT_EQ((std::vector<std::string>{"certificate_id"}),
            ParameterColumnNames("SELECT [login] FROM [qmb_certificate] WHERE [qmb_certificate].[certificate_id] = ?"));
  EXPECT_EQ((std::vector<std::string>{"a", "c"}),
            ParameterColumnNames("INSERT INTO t (a, b, c) VALUES (?, 'x?', ?)"));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), ParameterColumnNames("INSERT INTO t (a, b) VALUES (?, ?)"));
  EXPECT_EQ((std::vector<std::string>{"login"}), ParameterColumnNames("SELECT 1 FROM u WHERE login LIKE ?"));
}

}  // namespace
}  // namespace jet
