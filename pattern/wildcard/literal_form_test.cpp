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
  EXPECT_EQ(form.folded, GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LiteralShapes,
    ::testing::Values(ShapeCase{"Me@Example.COM", LiteralShape::Whole, "me@example.com"},
                      ShapeCase{"", LiteralShape::Whole, ""},
                      ShapeCase{"*@Example.com", LiteralShape::Suffix, "@example.com"},
                      ShapeCase{"***.org", LiteralShape::Suffix, ".org"},
                      ShapeCase{"*", LiteralShape::Suffix, ""},
                      ShapeCase{"ab{c}", LiteralShape::Whole, "ab{c}"},
                      ShapeCase{"\xC0@x", LiteralShape::Whole, "\xE0@x"},
                      ShapeCase{"me@*", LiteralShape::Other, ""},
                      ShapeCase{"*@*.ORG", LiteralShape::Other, ".org"},
                      ShapeCase{"?@x", LiteralShape::Other, "@x"},
                      ShapeCase{"*[a]", LiteralShape::Other, ""},
                      ShapeCase{"a]b", LiteralShape::Other, "b"},
                      ShapeCase{"a\\*", LiteralShape::Other, ""},
                      ShapeCase{"a\\.b", LiteralShape::Other, ".b"},
                      ShapeCase{std::string("a\0b", 3), LiteralShape::Other, ""}));

std::string RandomText(std::mt19937& random, const std::string& alphabet, std::size_t maxSize) {
  std::uniform_int_distribution<std::size_t> size(0, maxSize);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text;
  for (std::size_t n = size(random); n > 0; --n) text.push_back(alphabet[pick(random)]);
  return text;
}

// Every pattern's form agrees with the general matcher, on subjects near
// it: the literal it ends with, in other case, behind a leading period, cut
// short or lengthened. A literal or star-literal form decides; any other
// form only refuses subjects the matcher refuses. Subjects never hold NUL
// (addresses can't).
TEST(LiteralForm, AgreesWithTheGeneralMatcher) {
  const std::string literalBytes = std::string("aAbB.@{,}") + "\xC0\xE0\x80\xFF\x01";
  const std::string itemBytes = "*?[]\\!-";
  std::mt19937 random(1208);
  std::uniform_int_distribution<int> stars(0, 2);
  std::uniform_int_distribution<int> shape(0, 5);
  std::uniform_int_distribution<int> other(0, 3);
  int decided = 0, refused = 0, matches = 0;
  for (int i = 0; i < 300000; ++i) {
    std::string literal = RandomText(random, literalBytes, 6);
    std::string pattern = std::string(static_cast<std::size_t>(stars(random)), '*') + literal;
    if (other(random) == 0) pattern = RandomText(random, literalBytes + itemBytes, 5) + pattern;
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
    const bool expected =
        WildcardMatchGeneral(pattern.c_str(), subject.c_str(),
                             WildcardLeadingPeriod | WildcardCaseFold) == WildcardResult::Match;
    matches += expected;
    if (form.shape != LiteralShape::Other) {
      ASSERT_EQ(LiteralFormMatches(form, subject), expected)
          << "pattern '" << pattern << "' subject '" << subject << "'";
      ++decided;
    } else if (!EndsInLiteral(form, subject)) {
      ASSERT_FALSE(expected) << "pattern '" << pattern << "' subject '" << subject << "'";
      ++refused;
    }
  }
  EXPECT_GT(matches, 300000 / 8);
  EXPECT_GT(decided, 300000 / 2);
  EXPECT_GT(refused, 300000 / 50);
}

}  // namespace
}  // namespace fromsel
