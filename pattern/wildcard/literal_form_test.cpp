#include "pattern/wildcard/literal_form.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "pattern/wildcard/wildcard.h"

namespace fromsel {
namespace {

struct ShapeCase {
  std::string pattern;
  LiteralShape shape;
  std::string folded;
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << "'" << c.pattern << "'"; }

class LiteralShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(LiteralShapes, AreFoundFromThePattern) {
  const LiteralForm form = FindLiteralForm(GetParam().pattern);
  EXPECT_EQ(form.shape, GetParam().shape);
  if (form.shape != LiteralShape::Other) {
    EXPECT_EQ(form.folded, GetParam().folded);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LiteralShapes,
    ::testing::Values(ShapeCase{"Me@Example.COM", LiteralShape::Whole, "me@example.com"},
                      ShapeCase{"", LiteralShape::Whole, ""},
                      ShapeCase{"*@Example.com", LiteralShape::Suffix, "@example.com"},
                      ShapeCase{"***.org", LiteralShape::Suffix, ".org"},
                      ShapeCase{"*", LiteralShape::Suffix, ""},
                      ShapeCase{"a]b{c}", LiteralShape::Whole, "a]b{c}"},
                      ShapeCase{"\xC0@x", LiteralShape::Whole, "\xE0@x"},
                      ShapeCase{"me@*", LiteralShape::Other, ""},
                      ShapeCase{"*@*.org", LiteralShape::Other, ""},
                      ShapeCase{"?@x", LiteralShape::Other, ""},
                      ShapeCase{"*[a]", LiteralShape::Other, ""},
                      ShapeCase{"a\\*", LiteralShape::Other, ""},
                      ShapeCase{std::string("a\0b", 3), LiteralShape::Other, ""}));

std::string RandomText(std::mt19937& random, const std::string& alphabet, std::size_t maxSize) {
  std::uniform_int_distribution<std::size_t> size(0, maxSize);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text;
  for (std::size_t n = size(random); n > 0; --n) text.push_back(alphabet[pick(random)]);
  return text;
}

// Every literal or star-literal pattern decides as the general matcher does,
// on subjects near it: the literal itself, in other case, behind a leading
// period, cut short or lengthened. Subjects never hold NUL (addresses can't).
TEST(LiteralFormMatches, AgreesWithTheGeneralMatcher) {
  const std::string literalBytes = std::string("aAbB.@]{,}") + "\xC0\xE0\x80\xFF\x01";
  std::mt19937 random(1208);
  std::uniform_int_distribution<int> stars(0, 2);
  std::uniform_int_distribution<int> shape(0, 5);
  int matches = 0;
  int total = 0;
  for (int i = 0; i < 200000; ++i) {
    const std::string literal = RandomText(random, literalBytes, 6);
    const std::string pattern = std::string(static_cast<std::size_t>(stars(random)), '*') + literal;
    std::string subject;
    switch (shape(random)) {
      case 0: subject = literal; break;
      case 1: subject = RandomText(random, literalBytes, 3) + literal; break;
      case 2: subject = "." + RandomText(random, literalBytes, 2) + literal; break;
      case 3: subject = literal.substr(0, literal.size() / 2); break;
      case 4: subject = literal + RandomText(random, literalBytes, 2); break;
      default: subject = RandomText(random, literalBytes, 8); break;
    }
    for (char& c : subject) {
      if (stars(random) == 0) c = c == 'a' ? 'A' : c == '\xE0' ? '\xC0' : c == 'B' ? 'b' : c;
    }
    const LiteralForm form = FindLiteralForm(pattern);
    ASSERT_NE(form.shape, LiteralShape::Other) << pattern;
    const bool expected =
        WildcardMatchGeneral(pattern.c_str(), subject.c_str(),
                             WildcardLeadingPeriod | WildcardCaseFold) == 0;
    ASSERT_EQ(LiteralFormMatches(form, subject), expected)
        << "pattern '" << pattern << "' subject '" << subject << "'";
    matches += expected;
    ++total;
  }
  EXPECT_GT(matches, total / 5);
}

}  // namespace
}  // namespace fromsel
