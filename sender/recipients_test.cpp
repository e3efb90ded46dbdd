#include "sender/recipients.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fromsel {
namespace {

std::vector<std::string> AllCandidates(const std::string& line) {
  std::vector<std::string> seen;
  MatchHeaderAddresses(line, [&](const std::string& address) {
    seen.push_back(address);
    return false;
  });
  return seen;
}

struct CandidateCase {
  const char* name;
  std::string line;
  std::vector<std::string> expected;
};

void PrintTo(const CandidateCase& c, std::ostream* os) { *os << c.name; }

class CandidateTest : public ::testing::TestWithParam<CandidateCase> {};

TEST_P(CandidateTest, OffersTheseAddressesInOrder) {
  EXPECT_EQ(AllCandidates(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Recipients, CandidateTest,
    ::testing::Values(
        CandidateCase{"QuotedComma", "To: \"Doe, John\" <john@example.com>", {"john@example.com"}},
        CandidateCase{"Comment", "To: john@example.com (John Doe)", {"john@example.com"}},
        CandidateCase{"TwoAddresses", "To: a@example.org, b@example.net",
                      {"a@example.org", "b@example.net"}},
        CandidateCase{"Group", "To: team: a@example.org, b@example.net;, c@example.com",
                      {"a@example.org", "b@example.net", "c@example.com"}},
        CandidateCase{"QuotedLocalPart", "To: \"john doe\"@example.com", {"john doe@example.com"}},
        CandidateCase{"EmptyGroup", "To: undisclosed-recipients:;", {}},
        CandidateCase{"GroupRunsToEnd", "To: g: a@x, b@y", {"a@x", "b@y"}},
        CandidateCase{"GroupTrailingComma", "To: g: a@x,", {"a@x"}},
        CandidateCase{"LongGroupNameIsOneRange", "To: my team: a@x, b@y", {"myteam:a@x", "b@y"}},
        CandidateCase{"EightBitNameSkipped", "To: \xc4\xe9 <me@x.org>", {"me@x.org"}},
        CandidateCase{"EightBitInsideAtomSplits", "To: m\xe9@x.org", {"m@x.org"}},
        CandidateCase{"MissingCloseAngle", "To: Name <me@x.org", {"me@x.org"}},
        CandidateCase{"FirstAngleOnly", "To: <a@x> <b@y>", {"a@x"}},
        CandidateCase{"EmptyAngle", "To: Nobody <>, b@y", {"b@y"}},
        CandidateCase{"EmptyQuotedIsNoAddress", "To: \"\", <\"\">, b@y", {"b@y"}},
        CandidateCase{"UnterminatedQuote", "To: \"open, a@x", {"open, a@x"}},
        CandidateCase{"UnterminatedComment", "To: a@x (note, b@y", {"a@x"}},
        CandidateCase{"CommentsDoNotNest", "To: (a (b) c@x) d@y", {"c@x)d@y"}},
        CandidateCase{"EscapedParenInComment", "To: (a \\) b) c@x", {"c@x"}},
        CandidateCase{"ParenInsideAtom", "To: a(b)@x", {"a(b)@x"}},
        CandidateCase{"QuotedEscapes", "To: \"a\\\"b\\\\c\"@x", {"a\"b\\c@x"}},
        CandidateCase{"BackslashAtEndOfQuote", "To: \"ab\\", {"ab\\"}},
        CandidateCase{"EscapedBlank", "To: a\\ b@x", {"a b@x"}},
        CandidateCase{"EscapedLineBreak", "To: a\\\r\nb@x", {"a\r\nb@x"}},
        CandidateCase{"SemicolonSeparates", "To: a@x; b@y", {"a@x", "b@y"}},
        CandidateCase{"OnlySeparators", "To: ,,;;,", {}},
        CandidateCase{"NoColon", "To a@x", {}},
        CandidateCase{"FoldedLine", "To: a@x,\r\n\tb@y", {"a@x", "b@y"}},
        CandidateCase{"DomainLiteral", "To: me@[192.0.2.1]", {"me@[192.0.2.1]"}},
        CandidateCase{"StopsAtNul", std::string("To: a@x, b\0@y", 13), {"a@x", "b"}}),
    [](const ::testing::TestParamInfo<CandidateCase>& info) { return info.param.name; });

TEST(MatchHeaderAddresses, StopsAtTheAcceptedAddress) {
  std::vector<std::string> seen;
  const bool accepted = MatchHeaderAddresses("To: a@example.org, b@example.net",
                                             [&](const std::string& address) {
                                               seen.push_back(address);
                                               return true;
                                             });
  EXPECT_TRUE(accepted);
  EXPECT_EQ(seen, std::vector<std::string>{"a@example.org"});
}

TEST(MatchHeaderAddresses, AcceptedGroupMemberStopsTheWalk) {
  std::vector<std::string> seen;
  EXPECT_TRUE(MatchHeaderAddresses("To: g: a@x, b@y; c@z", [&](const std::string& address) {
    seen.push_back(address);
    return address == "b@y";
  }));
  EXPECT_EQ(seen, (std::vector<std::string>{"a@x", "b@y"}));
}

struct TokenCase {
  const char* name;
  std::string value;
  std::vector<std::string> expected;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }

class TokenTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenTest, SplitsIntoTheseTokens) {
  EXPECT_EQ(TokenizeAddressList(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, TokenTest,
    ::testing::Values(
        TokenCase{"Specials", "a.b@c", {"a", ".", "b", "@", "c"}},
        TokenCase{"EmptyQuoted", "\"\" x", {"", "x"}},
        TokenCase{"Del", "a\x7f" "b", {"a", "\x7f", "b"}},
        TokenCase{"BackslashAtEnd", "a \\", {"a"}},
        TokenCase{"BlanksAndBreaks", " \t\r\n a \r b ", {"a", "b"}},
        TokenCase{"Empty", "", {}}),
    [](const ::testing::TestParamInfo<TokenCase>& info) { return info.param.name; });

struct HeaderCase {
  const char* name;
  std::string source;
  RecipientHeaders expected;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class CollectTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(CollectTest, FindsTheFirstLineOfEachKind) {
  const RecipientHeaders headers = CollectRecipientHeaders(GetParam().source);
  EXPECT_EQ(headers.to, GetParam().expected.to);
  EXPECT_EQ(headers.cc, GetParam().expected.cc);
  EXPECT_EQ(headers.deliveredTo, GetParam().expected.deliveredTo);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, CollectTest,
    ::testing::Values(
        HeaderCase{"Empty", "", {}},
        HeaderCase{"AllThree",
                   "Delivered-To: me@x\r\nFrom: y@z\r\nTo: a@x\r\nCc: b@y\r\n\r\nTo: body@x\r\n",
                   {"To: a@x", "Cc: b@y", "Delivered-To: me@x"}},
        HeaderCase{"CaseOfName", "TO: a@x\ncC: b@y\nDELIVERED-to: c@z\n",
                   {"TO: a@x", "cC: b@y", "DELIVERED-to: c@z"}},
        HeaderCase{"BlankBeforeColon", "To : a@x\nCc: b@y\n", {"", "Cc: b@y", ""}},
        HeaderCase{"FirstWins", "To: a@x\nTo: b@y\n", {"To: a@x", "", ""}},
        HeaderCase{"FoldedCrLf", "To: a@x,\r\n\tb@y\r\nCc: c@z\r\n", {"To: a@x,\r\n\tb@y", "Cc: c@z", ""}},
        HeaderCase{"FoldedLoneCr", "To: a@x,\r b@y\rCc: c@z", {"To: a@x,\r b@y", "Cc: c@z", ""}},
        HeaderCase{"BodyNeverRead", "Subject: s\n\nTo: a@x\n", {}},
        HeaderCase{"OnlyCrs", "\r\r\r", {}},
        HeaderCase{"NoHeaderEnd", "Subject: s\nTo: a@x", {"To: a@x", "", ""}},
        HeaderCase{"NulEndsTheText", std::string("To: a@x\0\nCc: b@y\n", 17), {"To: a@x", "", ""}},
        HeaderCase{"ShortLines", "T\nC\nTo:\n", {"To:", "", ""}},
        HeaderCase{"ToPrefixIsNotTo", "Tox: a@x\nTo: b@y\n", {"To: b@y", "", ""}}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

struct DeliveredCase {
  const char* name;
  std::string line;
  std::string expected;
};

void PrintTo(const DeliveredCase& c, std::ostream* os) { *os << c.name; }

class DeliveredToTest : public ::testing::TestWithParam<DeliveredCase> {};

TEST_P(DeliveredToTest, IsTheTrimmedValue) {
  EXPECT_EQ(DeliveredToAddress(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    DeliveredTo, DeliveredToTest,
    ::testing::Values(DeliveredCase{"Blanks", "Delivered-To:  me@example.com", "me@example.com"},
                      DeliveredCase{"AngleKept", "Delivered-To: <me@example.com>", "<me@example.com>"},
                      DeliveredCase{"NotTokenized", "Delivered-To: a@x (c), b@y \r\n\t", "a@x (c), b@y"},
                      DeliveredCase{"Empty", "Delivered-To:", ""}),
    [](const ::testing::TestParamInfo<DeliveredCase>& info) { return info.param.name; });

TEST(AtomCharacters, AreThePrintablesLessTheSpecials) {
  std::string atoms;
  for (int c = 0; c < 256; ++c)
    if (IsAtomCharacter(static_cast<unsigned char>(c))) atoms.push_back(static_cast<char>(c));
  EXPECT_EQ(atoms,
            "!#$%&'()*+-/0123456789=?ABCDEFGHIJKLMNOPQRSTUVWXYZ^_`abcdefghijklmnopqrstuvwxyz{|}~");
}

// Hostile shapes: huge, unbalanced, binary. Each must finish and stay inside
// the text (the sanitizer builds check the reads).
TEST(HostileInput, ManyAddressesAreAllOffered) {
  constexpr int kAddresses = 20000;
  std::string line = "To: ";
  for (int i = 0; i < kAddresses; ++i) line += "u" + std::to_string(i) + "@example.org, ";
  EXPECT_EQ(AllCandidates(line).size(), static_cast<std::size_t>(kAddresses));
}

TEST(HostileInput, MegabyteShapesFinish) {
  constexpr std::size_t kSize = 1 << 20;
  const std::vector<std::string> shapes = {
      "To: " + std::string(kSize, '<'),        "To: " + std::string(kSize, '"'),
      "To: " + std::string(kSize, '('),        "To: " + std::string(kSize, '\\'),
      "To: " + std::string(kSize, ':'),        "To: " + std::string(kSize, ','),
      "To: a\r\n" + std::string(kSize, '\t'), "To: " + std::string(kSize, 'a'),
  };
  for (const std::string& shape : shapes) {
    const RecipientHeaders headers = CollectRecipientHeaders(shape);
    EXPECT_FALSE(headers.to.empty());
    AllCandidates(headers.to);
  }
}

TEST(HostileInput, BinaryWithoutNul) {
  std::string source = "To: ";
  for (int i = 0; i < 1 << 16; ++i) source.push_back(static_cast<char>(1 + (i * 131) % 255));
  const RecipientHeaders headers = CollectRecipientHeaders(source);
  for (const std::string& address : AllCandidates(headers.to)) EXPECT_FALSE(address.empty());
}

}  // namespace
}  // namespace fromsel
