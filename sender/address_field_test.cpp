#include "sender/address_field.h"

#include <gtest/gtest.h>

#include "pattern/regex/program.h"

namespace fromsel {
namespace {

struct FieldCase {
  const char* name;
  bool regex;
  std::string pattern;
  std::string address;
  AddressFieldProblem problem;
};

class AddressFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(AddressFieldTest, FindsTheProblem) {
  regex::InstallCaseTable();
  AddressRule rule;
  rule.regex = GetParam().regex;
  rule.pattern = GetParam().pattern;
  rule.address = GetParam().address;
  EXPECT_EQ(FindAddressFieldProblem(rule), GetParam().problem);
}

using P = AddressFieldProblem;
INSTANTIATE_TEST_SUITE_P(
    Fields, AddressFieldTest,
    ::testing::Values(
        FieldCase{"Plain", false, "*", "jane@x.example", P::None},
        FieldCase{"Empty", false, "*", "", P::None},
        // A blank is quoted into the local part: "john doe"@example.net.
        FieldCase{"Blank", false, "*", "john doe@example.net", P::None},
        FieldCase{"AngleAddress", false, "*", "<jane@x.example>", P::NotOneAddress},
        FieldCase{"NameAndAddress", true, "(.+)@x", "Jane Doe <jane@x.example>", P::NotOneAddress},
        FieldCase{"Comma", false, "*", "a@x, b@x", P::NotOneAddress},
        FieldCase{"Semicolon", false, "*", "a@x;", P::NotOneAddress},
        FieldCase{"GroupInRange", true, "(.+)@(x)", "\\2@w.example", P::None},
        FieldCase{"WholeAddress", true, ".*", "\\&", P::None},
        FieldCase{"OneBeyond", true, "(.+)@x", "\\2@w.example", P::GroupBeyondPattern},
        FieldCase{"FarBeyond", true, "(.+)@x", "me+\\3@w.example", P::GroupBeyondPattern},
        FieldCase{"NoGroups", true, "kim@x", "\\1@w.example", P::GroupBeyondPattern},
        FieldCase{"EscapedBackslash", true, "kim@x", "a\\\\1@w.example", P::None},
        FieldCase{"UncompilableLeftToTheCompileCheck", true, "(", "\\1@w", P::None},
        FieldCase{"WildcardGroup", false, "*@w.example", "me+\\1@w.example",
                  P::TemplateInWildcardRule},
        FieldCase{"WildcardWhole", false, "*", "\\&", P::TemplateInWildcardRule}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddressField, GroupCountIsThePatternsOwn) {
  EXPECT_EQ(RegexGroupCount("a"), 0);
  EXPECT_EQ(RegexGroupCount("(a)(?:b)(c(d))"), 3);
  EXPECT_EQ(RegexGroupCount("(a"), -1);
}

}  // namespace
}  // namespace fromsel
