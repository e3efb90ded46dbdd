#include "sender/recipients.h"
#include "sender/recipients_reference.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace fromsel {
namespace {

using Texts = std::vector<std::string>;

// Offers every candidate; `stopAt` is the candidate that ends the walk.
Texts Candidates(const std::string& line, const std::string& stopAt = "") {
  Texts seen;
  MatchHeaderAddresses(line, [&](const std::string& address) {
    seen.push_back(address);
    return address == stopAt;
  });
  return seen;
}

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }
// Failures name the case instead of dumping its bytes.
template <class Case>
auto operator<<(std::ostream& os, const Case& c) -> decltype(c.name, os) { return os << c.name; }

struct CandidateCase {
  const char* name;
  std::string line;
  Texts expected;
};

class CandidateTest : public ::testing::TestWithParam<CandidateCase> {};

TEST_P(CandidateTest, OffersTheseAddressesInOrder) {
  EXPECT_EQ(Candidates(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Recipients, CandidateTest,
    ::testing::Values(
        CandidateCase{"QuotedComma", "To: \"Doe, John\" <john@example.com>", {"john@example.com"}},
        CandidateCase{"Comment", "To: john@example.com (John Doe)", {"john@example.com"}},
        CandidateCase{"Group", "To: team: a@example.org, b@example.net;, c@example.com",
                      {"a@example.org", "b@example.net", "c@example.com"}},
        CandidateCase{"QuotedLocalPart", "To: \"john doe\"@example.com", {"john doe@example.com"}},
        CandidateCase{"EmptyGroup", "To: undisclosed-recipients:;", {}},
        CandidateCase{"GroupRunsToEnd", "To: g: a@x, b@y", {"a@x", "b@y"}},
        CandidateCase{"LongGroupNameIsOneRange", "To: my team: a@x, b@y", {"myteam:a@x", "b@y"}},
        CandidateCase{"EightBitSkipped", "To: \xc4\xe9 <m\xe9@x.org>", {"m@x.org"}},
        CandidateCase{"MissingCloseAngle", "To: Name <me@x.org", {"me@x.org"}},
        CandidateCase{"EmptyQuotedIsNoAddress", "To: \"\", <\"\">, Nobody <>, b@y", {"b@y"}},
        CandidateCase{"UnterminatedQuote", "To: \"open, a@x", {"open, a@x"}},
        CandidateCase{"UnterminatedComment", "To: a@x (note, b@y", {"a@x"}},
        CandidateCase{"CommentsDoNotNest", "To: (a (b) c@x) d@y, (e\\) f@x) g@y",
                      {"c@x)d@y", "g@y"}},
        CandidateCase{"ParenInsideAtom", "To: a(b)@x", {"a(b)@x"}},
        CandidateCase{"QuotedEscapes", "To: \"a\\\"b\\\\c\"@x, \"ab\\", {"a\"b\\c@x", "ab\\"}},
        CandidateCase{"EscapesOutsideQuotes", "To: a\\ b@x, a\\\r\nb@x", {"a b@x", "a\r\nb@x"}},
        CandidateCase{"NoColon", "To a@x", {}},
        CandidateCase{"FoldedLine", "To: a@x;\r\n\tb@y", {"a@x", "b@y"}},
        CandidateCase{"StopsAtNul", std::string("To: a@x, b\0@y", 13), {"a@x", "b"}}),
    CaseName<CandidateCase>);

TEST(MatchHeaderAddresses, WalksAsTheWholeTokenListWould) {
  // Separators, group colons and angle brackets in every order, long runs
  // of them (past the stream's batch of dropped tokens) and stops early.
  const std::string bytes = "a,;:<>\"@. ()\\\r\n[]\x7f\xe9";
  std::mt19937 random(81208);
  std::uniform_int_distribution<std::size_t> pick(0, bytes.size() - 1);
  std::uniform_int_distribution<std::size_t> length(0, 40);
  std::uniform_int_distribution<std::size_t> stopAfter(0, 4);
  for (int n = 0; n < 100000; ++n) {
    std::string line = "To:";
    const std::size_t size = n % 100 == 0 ? 2000 : length(random);
    for (std::size_t k = 0; k < size; ++k) line.push_back(bytes[pick(random)]);
    const std::size_t stop = stopAfter(random);
    std::vector<std::string> offered;
    MatchHeaderAddresses(line, [&](const std::string& address) {
      offered.push_back(address);
      return offered.size() == stop;
    });
    ASSERT_EQ(offered, ReferenceAddressWalk(line, stop)) << line;
  }
}

TEST(MatchHeaderAddresses, AcceptedAddressStopsTheWalk) {
  EXPECT_EQ(Candidates("To: a@example.org, b@example.net", "a@example.org"),
            Texts{"a@example.org"});
  EXPECT_EQ(Candidates("To: g: a@x, b@y; c@z", "b@y"), (Texts{"a@x", "b@y"}));
  EXPECT_TRUE(MatchHeaderAddresses("Cc: a@x", [](const std::string&) { return true; }));
}

struct HeaderCase {
  const char* name;
  std::string source;
  RecipientHeaders expected;
};

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
        HeaderCase{"AllThree",
                   "Delivered-To: me@x\r\nFrom: y@z\r\nTo: a@x\r\nCc: b@y\r\n\r\nTo: body@x\r\n",
                   {"To: a@x", "Cc: b@y", "Delivered-To: me@x"}},
        HeaderCase{"CaseOfName", "TO: a@x\ncC: b@y\nDELIVERED-to: c@z\n",
                   {"TO: a@x", "cC: b@y", "DELIVERED-to: c@z"}},
        HeaderCase{"BlankBeforeColon", "To : a@x\nTox: b@y\nCc: b@y\n", {"", "Cc: b@y", ""}},
        HeaderCase{"FirstWins", "To: a@x\nTo: b@y\n", {"To: a@x", "", ""}},
        HeaderCase{"FoldedCrLf", "To: a@x,\r\n\tb@y\r\nCc: c@z\r\n", {"To: a@x,\r\n\tb@y", "Cc: c@z", ""}},
        HeaderCase{"FoldedLoneCr", "To: a@x,\r b@y\rCc: c@z", {"To: a@x,\r b@y", "Cc: c@z", ""}},
        HeaderCase{"OnlyCrs", "\r\r\rTo: a@x", {}},
        HeaderCase{"NoHeaderEnd", "Subject: s\nT\nTo: a@x", {"To: a@x", "", ""}},
        HeaderCase{"NulEndsTheText", std::string("To: a@x\0\nCc: b@y\n", 17), {"To: a@x", "", ""}}),
    CaseName<HeaderCase>);

TEST(DeliveredToAddress, IsTheTrimmedValueUntokenized) {
  EXPECT_EQ(DeliveredToAddress("Delivered-To:  me@example.com"), "me@example.com");
  EXPECT_EQ(DeliveredToAddress("Delivered-To: <me@example.com>"), "<me@example.com>");
  EXPECT_EQ(DeliveredToAddress("Delivered-To: a@x (c), b@y \r\n\t"), "a@x (c), b@y");
  EXPECT_EQ(DeliveredToAddress("Delivered-To:"), "");
}

TEST(AtomCharacters, AreThePrintablesLessTheSpecials) {
  std::string atoms;
  for (int c = 0; c < 256; ++c)
    if (IsAtomCharacter(static_cast<unsigned char>(c))) atoms.push_back(static_cast<char>(c));
  EXPECT_EQ(atoms,
            "!#$%&'()*+-/0123456789=?ABCDEFGHIJKLMNOPQRSTUVWXYZ^_`abcdefghijklmnopqrstuvwxyz{|}~");
}

// Hostile shapes, large and unbalanced: each must finish and stay inside the
// text (the sanitizer builds check the reads).
TEST(HostileInput, ThousandsOfAddressesAndMegabyteShapes) {
  constexpr int kAddresses = 20000;
  std::string many = "To: ";
  for (int i = 0; i < kAddresses; ++i) many += "u" + std::to_string(i) + "@example.org, ";
  EXPECT_EQ(Candidates(many).size(), static_cast<std::size_t>(kAddresses));

  constexpr std::size_t kSize = 1 << 20;
  for (char c : std::string("<\"(\\:,\ta\x80")) {
    const RecipientHeaders headers = CollectRecipientHeaders("To: x" + std::string(kSize, c));
    EXPECT_EQ(headers.to.substr(0, 5), "To: x");
    Candidates(headers.to);
  }
}

}  // namespace
}  // namespace fromsel
