// The pure rules behind the menu: identifier ranges and the derived values.
#include <gtest/gtest.h>

#include "CommandTable.h"

namespace {

using namespace zarvek;

TEST(CommandTable, IdentifiersClassifyByRange) {
  EXPECT_EQ(CommandKind::None, ClassifyCommand(0));
  EXPECT_EQ(CommandKind::None, ClassifyCommand(665));
  for (unsigned unused : {673u, 674u, 676u, 678u, 688u, 698u}) EXPECT_EQ(CommandKind::None, ClassifyCommand(unused));
  for (unsigned store = 666; store <= 671; ++store) EXPECT_EQ(CommandKind::OpenStore, ClassifyCommand(store));
  for (unsigned op : {679u, 680u, 681u, 682u, 683u, 684u, 685u, 687u}) {
    EXPECT_EQ(CommandKind::FileOperation, ClassifyCommand(op)) << op;
  }
  EXPECT_EQ(CommandKind::SwitchMode, ClassifyCommand(672));
  EXPECT_EQ(CommandKind::ErrorReport, ClassifyCommand(686));
  EXPECT_EQ(CommandKind::Exit, ClassifyCommand(699));
  EXPECT_EQ(CommandKind::SelectProfile, ClassifyCommand(700));
  EXPECT_EQ(CommandKind::SelectProfile, ClassifyCommand(100000));
}

TEST(CommandTable, FilterListsEndWithTwoNuls) {
  EXPECT_EQ(std::string("Sigs\0*.p7s\0\0", 12), MakeFilterList(std::string("Sigs\0*.p7s", 10)));
  EXPECT_EQ(std::string("All\0*.*\0\0", 9), MakeFilterList("All", "*.*"));
  EXPECT_EQ(std::string("Odd\0\0\0", 6), MakeFilterList(std::string("Odd")));
}

}  // namespace
