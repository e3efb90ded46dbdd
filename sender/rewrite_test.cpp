#include "sender/rewrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "bench/bench_data.h"
#include "pattern/regex/program.h"
#include "rules/settings.h"
#include "sender/memory_host.h"
#include "sender/rule_match.h"
#include "testing/test_folder.h"

namespace fromsel {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

AddressRule Rule(const std::string& flags, const std::string& pattern, const std::string& name,
                 const std::string& address) {
  AddressRule rule;
  rule.regex = flags.find('R') != std::string::npos;
  rule.setSender = flags.find('S') != std::string::npos;
  rule.verp = flags.find('V') != std::string::npos;
  rule.pattern = pattern;
  rule.name = name;
  rule.address = address;
  return rule;
}

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }
// Failures name the case instead of dumping its bytes.
template <class Case>
auto operator<<(std::ostream& os, const Case& c) -> decltype(c.name, os) { return os << c.name; }

// The host cannot run here: the stand-in serves one compose window, a data
// folder on disk and sources by reference, and logs every call in order.
class RewriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    regex::InstallCaseTable();  // as at start: regular expressions ignore case
    folder_.MakeDirectory("Work.mb/Inbox");
    host_.dataFolder = folder_.withSeparator();
    host_.mailbox = "Work.mb\\";
    host_.folder = "Work.mb\\Inbox\\";
    Reference("Work.mb\\Inbox\\>255");
    settings().enabled = true;
    Source("To: Some One <news@example.org>\r\nSubject: hi\r\n\r\nbody\r\n");
  }

  MailboxSettings& settings() { return table_["work.mb"]; }
  void Source(const std::string& text) { host_.sources["Work.mb\\Inbox\\?000000ff"] = text; }
  void Reference(const std::string& text) { host_.composeHeaders["X-Becky-Ref"] = text; }
  Headers Run(RewriteReport* report = nullptr) {
    RewriteSenderWith(host_, &window_, table_, report);
    return host_.headersSet;
  }

  testing::TestFolder folder_;
  MemoryHost host_;
  SettingsTable table_;
  int window_ = 0;
};

struct WorkedCase {
  const char* name;
  AddressRule rule;
  Headers expected;
};

class WorkedExampleTest : public RewriteTest, public ::testing::WithParamInterface<WorkedCase> {};

TEST_P(WorkedExampleTest, SetsTheseHeaders) {
  settings().rules.push_back(GetParam().rule);
  EXPECT_EQ(Run(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rewrite, WorkedExampleTest,
    ::testing::Values(
        WorkedCase{"NameAndAddress", Rule("", "*@example.org", "Me", "me@example.net"),
                   {{"From", "Me <me@example.net>"}}},
        WorkedCase{"SenderVerp", Rule("SV", "*@example.org", "", "me@example.net"),
                   {{"Sender", "<me-@example.net-@[]>"}, {"From", "<me@example.net>"}}},
        WorkedCase{"QuotedVerp", Rule("SV", "*", "", "john doe@example.net"),
                   {{"Sender", "<\"john doe-\"@example.net-@[]>"},
                    {"From", "<\"john doe\"@example.net>"}}},
        WorkedCase{"CandidateItself", Rule("", "*", "", ""), {{"From", "<news@example.org>"}}},
        WorkedCase{"SenderPlain", Rule("S", "*", "", "me@example.net"),
                   {{"Sender", "<me@example.net>"}, {"From", "<me@example.net>"}}},
        WorkedCase{"VerpWithoutSender", Rule("V", "*", "", "me@example.net"),
                   {{"From", "<me@example.net>"}}},
        WorkedCase{"PhraseNameAsStored", Rule("", "*", "John Doe", "j@example.net"),
                   {{"From", "John Doe <j@example.net>"}}},
        // Stored unquoted, a comma would make two mailboxes of the header
        // and a parenthesis a comment that clients drop.
        WorkedCase{"NameWithCommaQuoted", Rule("", "*", "Doe, John", "j@example.net"),
                   {{"From", "\"Doe, John\" <j@example.net>"}}},
        WorkedCase{"NameWithParenthesesQuoted",
                   Rule("", "*", "Jane Doe (Example Corp)", "j@example.net"),
                   {{"From", "\"Jane Doe (Example Corp)\" <j@example.net>"}}},
        WorkedCase{"QuotedNameAsStored", Rule("", "*", "\"Doe, John\"", "j@example.net"),
                   {{"From", "\"Doe, John\" <j@example.net>"}}},
        WorkedCase{"BracesIgnoreCase", Rule("", "*@{example.com,EXAMPLE.ORG}", "", "x@y"),
                   {{"From", "<x@y>"}}},
        WorkedCase{"NoMatch", Rule("", "*@example.com", "", "x@y"), {}},
        WorkedCase{"RegexGroup", Rule("R", "(.+)@example\\.org", "", "me+\\1@example.net"),
                   {{"From", "<me+news@example.net>"}}},
        WorkedCase{"RegexEmptyAddress", Rule("R", ".*", "", ""), {{"From", "<news@example.org>"}}},
        WorkedCase{"RegexAnchored", Rule("R", "news", "", "x@y"), {}},
        WorkedCase{"RegexWholeAddress", Rule("R", "NEWS@.*", "", "\\&"),
                   {{"From", "<news@example.org>"}}}),
    CaseName<WorkedCase>);

// The report of a miss holds every candidate with the outcome of each
// rule tested for it, in order; the test that decides ends a candidate.
TEST_F(RewriteTest, ReportTracesEveryRuleTestOfEveryCandidate) {
  std::string wide;
  for (int i = 0; i < 13; ++i) wide += "{a,b}";
  settings().lookAtDeliveredTo = true;
  settings().rules = {Rule("R", "(", "", ""), Rule("", wide, "", ""),
                      Rule("", "*@dt.example", "", "")};
  Source("To: t@to.example\r\nCc: c@cc.example\r\nDelivered-To: d@dt.example\r\n\r\n");
  RewriteReport report;
  Run(&report);
  using O = RuleOutcome;
  const std::vector<RuleTest> missed = {
      {1, O::CompileError}, {2, O::OverBraceLimit}, {3, O::NoMatch}};
  ASSERT_EQ(report.candidates.size(), 3u);
  const char* const headers[] = {"To", "Cc", "Delivered-To"};
  const char* const addresses[] = {"t@to.example", "c@cc.example", "d@dt.example"};
  for (std::size_t i = 0; i < 3; ++i) {
    const CandidateTrace& candidate = report.candidates[i];
    EXPECT_EQ(candidate.header, headers[i]);
    EXPECT_EQ(candidate.address, addresses[i]);
    std::vector<RuleTest> expected = missed;
    if (i == 2) expected.back().outcome = O::Match;
    ASSERT_EQ(candidate.tests.size(), expected.size());
    for (std::size_t j = 0; j < expected.size(); ++j) {
      EXPECT_EQ(candidate.tests[j].ruleIndex, expected[j].ruleIndex);
      EXPECT_EQ(candidate.tests[j].outcome, expected[j].outcome) << i << " " << j;
    }
  }
  EXPECT_EQ(report.ruleIndex, 3);
}

TEST_F(RewriteTest, ReportTracesABoundedNumberOfCandidates) {
  settings().rules = {Rule("", "none@x", "", "")};
  std::string to = "To: ";
  for (std::size_t i = 0; i < MaxTracedCandidates + 5; ++i) to += "a" + std::to_string(i) + "@x, ";
  Source(to + "\r\n\r\n");
  RewriteReport report;
  Run(&report);
  EXPECT_EQ(report.candidates.size(), MaxTracedCandidates);
  EXPECT_EQ(report.untracedCandidates, 5u);
  EXPECT_EQ(report.stoppedBecause, "no recipient matched");
}

TEST_F(RewriteTest, HostCallsComeInOrder) {
  settings().rules.push_back(Rule("S", "*", "", "me@example.net"));
  Run();
  EXPECT_EQ(host_.calls, (std::vector<std::string>{
                             "GetCurrentMailBox", "GetCurrentFolder", "GetDataFolder",
                             "CompGetSpecifiedHeader X-Becky-Ref",
                             "GetSource Work.mb\\Inbox\\?000000ff",
                             "CompSetSpecifiedHeader Sender", "CompSetSpecifiedHeader From"}));
}

TEST_F(RewriteTest, DisabledOrUnknownMailboxChangesNothing) {
  settings().rules.push_back(Rule("", "*", "", ""));
  settings().enabled = false;
  RewriteReport report;
  EXPECT_TRUE(Run(&report).empty());
  EXPECT_EQ(report.stoppedBecause, "disabled");

  host_.mailbox = "Other.MB\\";
  EXPECT_TRUE(Run().empty());
  ASSERT_EQ(table_.count("other.mb"), 1u);  // a default entry is added
  EXPECT_FALSE(table_["other.mb"].enabled);
}

TEST_F(RewriteTest, OnlyANonEmptyFromAddrStopsTheRun) {
  settings().rules.push_back(Rule("", "*", "", ""));
  const std::string ini = "Work.mb/Inbox/Folder.ini";
  folder_.WriteFile(ini, "[Settings]\r\nFromAddr=\r\n");
  EXPECT_EQ(Run().size(), 1u);
  host_.headersSet.clear();
  folder_.WriteFile(ini, "[Settings]\r\nFromAddr=me@example.com\r\n");
  RewriteReport report;
  EXPECT_TRUE(Run(&report).empty());
  EXPECT_EQ(report.stoppedBecause, "folder has FromAddr");
  EXPECT_EQ(report.fromAddr, "me@example.com");
}

struct ReferenceCase {
  const char* name;
  std::string reference;
  std::string sourceRef;  // empty: GetSource is never called
};

class ReferenceTest : public RewriteTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(ReferenceTest, FormsThisSourceRef) {
  Reference(GetParam().reference);
  Run();
  std::string asked;
  for (const std::string& call : host_.calls)
    if (call.rfind("GetSource ", 0) == 0) asked = call.substr(10);
  EXPECT_EQ(asked, GetParam().sourceRef);
}

INSTANTIATE_TEST_SUITE_P(
    Rewrite, ReferenceTest,
    ::testing::Values(ReferenceCase{"Decimal255", " \t F\\>255\r\n", "F\\?000000ff"},
                      ReferenceCase{"NoDigitsTailDropped", "F\\>x>2", "F\\?00000000"},
                      ReferenceCase{"Wraps", "F\\>4294967297", "F\\?00000001"},
                      ReferenceCase{"NoMark", "plain", "plain"},
                      ReferenceCase{"Blank", " \t ", ""},
                      // One byte more than the first buffer holds with its NUL.
                      ReferenceCase{"OverflowsFirstBuffer", std::string(258, 'b') + ">1",
                                    std::string(258, 'b') + "?00000001"},
                      ReferenceCase{"Long", std::string(5000, 'a') + ">1",
                                    std::string(5000, 'a') + "?00000001"}),
    CaseName<ReferenceCase>);

struct OrderCase {
  const char* name;
  std::string source;
  std::vector<AddressRule> rules;
  bool lookAtDeliveredTo;
  std::string from;  // empty: unchanged
  std::string header;
  int ruleIndex;
};

class OrderTest : public RewriteTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(OrderTest, FirstAddressThenFirstRuleDecides) {
  Source(GetParam().source);
  settings().rules = GetParam().rules;
  settings().lookAtDeliveredTo = GetParam().lookAtDeliveredTo;
  RewriteReport report;
  const Headers set = Run(&report);
  if (GetParam().from.empty()) {
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(report.stoppedBecause, "no recipient matched");
    return;
  }
  EXPECT_EQ(set, (Headers{{"From", GetParam().from}}));
  EXPECT_EQ(report.header, GetParam().header);
  EXPECT_EQ(report.ruleIndex, GetParam().ruleIndex);
}

const char* const kAll = "Cc: c@cc.example\r\nTo: t@to.example\r\nDelivered-To: d@dt.example\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rewrite, OrderTest,
    ::testing::Values(
        OrderCase{"ToBeforeCc", kAll,
                  {Rule("", "*@cc.example", "", "cc@me"), Rule("", "*@to.example", "", "to@me")},
                  true, "<to@me>", "To", 2},
        OrderCase{"EarlierRuleWins", kAll,
                  {Rule("", "t@*", "", "first@me"), Rule("", "*", "", "second@me")}, false,
                  "<first@me>", "To", 1},
        OrderCase{"SecondToAddress", "To: a@x.example, b@y.example\r\n\r\n",
                  {Rule("", "*@y.example", "", "y@me")}, false, "<y@me>", "To", 1},
        OrderCase{"CcWhenNoToMatches", kAll, {Rule("", "*@cc.example", "", "cc@me")}, false,
                  "<cc@me>", "Cc", 1},
        OrderCase{"DeliveredToWhenAsked", kAll, {Rule("", "*@dt.example", "", "dt@me")}, true,
                  "<dt@me>", "Delivered-To", 1},
        OrderCase{"DeliveredToIgnoredByDefault", kAll, {Rule("", "*@dt.example", "", "dt@me")},
                  false, "", "", 0},
        OrderCase{"EmptyDeliveredToIsNoAddress", "Delivered-To:  \r\n\r\n",
                  {Rule("", "*", "", "any@me")}, true, "", "", 0},
        OrderCase{"BodyIsNotHeaders", "Subject: x\r\n\r\nTo: a@b\r\n", {Rule("", "*", "", "")}, true,
                  "", "", 0},
        OrderCase{"LineBreakInAddressIsSkipped",
                  "To: a\\\r\n Bcc:spy@to.example, ok@to.example\r\n\r\n",
                  {Rule("", "*@to.example", "", "")}, false, "<ok@to.example>", "To", 1},
        OrderCase{"BadRegexDoesNotStopLaterRules", kAll,
                  {Rule("R", "(t@", "", "bad@me"), Rule("", "t@*", "", "good@me")}, false,
                  "<good@me>", "To", 2}),
    CaseName<OrderCase>);

TEST_F(RewriteTest, WithoutProcessTableNothingHappens) {
  ReleaseSettingsTable();
  RewriteReport report;
  RewriteSender(host_, &window_, &report);
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_FALSE(report.stoppedBecause.empty());
}

TEST_F(RewriteTest, ProcessTableIsUsed) {
  folder_.WriteFile("Work.mb/fromsel.ini",
                    ">Enable=1\n>Delivered-To=0\n::*@example.org\tMe\tme@example.net\n");
  LoadSettingsTable(host_.dataFolder);
  RewriteSender(host_, &window_);
  ReleaseSettingsTable();
  EXPECT_EQ(host_.headersSet, (Headers{{"From", "Me <me@example.net>"}}));
}

// A reply with twenty recipients of thirty x's, and news@example.org in Cc.
std::string ManyXRecipients() {
  std::string to = "To: ";
  for (int i = 0; i < 20; ++i) to += std::string(30, 'x') + (i < 19 ? ", " : "\r\n");
  return to + "Cc: news@example.org\r\n\r\n";
}

// The rule (x+x+)+y backtracks exponentially on every x address, but
// it is regular, so each test is decided at once and the Cc address decides.
TEST_F(RewriteTest, ExponentialRegularRuleLeavesTheReplyToLaterAddresses) {
  Source(ManyXRecipients());
  settings().rules = {Rule("R", "(x+x+)+y", "", "x@me"), Rule("", "*@example.org", "", "org@me")};
  RewriteReport report;
  EXPECT_EQ(Run(&report), (Headers{{"From", "<org@me>"}}));
  EXPECT_EQ(report.header, "Cc");
  EXPECT_LT(report.workUsed, ReplyWorkBudget / 100);
}

// With a back-reference the rule is not regular and its test runs until
// the reply's one bound is spent: the tests left count as no match, the
// Cc address included, and the report names where the bound ran out.
TEST_F(RewriteTest, ReplyWorkBoundEndsTheWholeReply) {
  Source(ManyXRecipients());
  settings().rules = {Rule("R", "(x+x+)+\\1y", "", "x@me"),
                      Rule("", "*@example.org", "", "org@me")};
  RewriteReport report;
  EXPECT_TRUE(Run(&report).empty());
  EXPECT_EQ(report.stoppedBecause, "work bound reached");
  EXPECT_EQ(report.header, "To");
  EXPECT_EQ(report.address, std::string(30, 'x'));
  EXPECT_EQ(report.ruleIndex, 1);
  EXPECT_EQ(report.pattern, "(x+x+)+\\1y");
  EXPECT_GT(report.workUsed, ReplyWorkBudget);
  // The same rules decide as before when no test runs that long.
  Source("To: xxxx\r\nCc: news@example.org\r\n\r\n");
  EXPECT_EQ(Run(), (Headers{{"From", "<org@me>"}}));
}

// Ordinary replies use a small part of the bound: every example message
// against every example mailbox (the examples' data folder, read only),
// and a twenty-recipient reply against the benchmarks' hundred-rule mailbox.
TEST(ReplyWorkBound, OrdinaryRepliesStayFarBelowIt) {
  namespace fs = std::filesystem;
  regex::InstallCaseTable();
  const fs::path examples = fs::path(FROMSEL_SOURCE_DIR) / "examples";
  SettingsTable table;
  LoadSettingsTableFrom((examples / "data").string() + "/", table);
  std::int64_t most = 0;
  int replies = 0;
  for (const auto& message : fs::directory_iterator(examples / "messages")) {
    std::ifstream in(message.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* mailbox : {"Work.mb", "Home.mb"}) {
      MemoryHost host;
      host.dataFolder = (examples / "data").string() + "/";
      host.mailbox = std::string(mailbox) + "\\";
      host.folder = std::string(mailbox) + "\\";
      host.composeHeaders["X-Becky-Ref"] = std::string(mailbox) + "\\>1";
      host.anySource = text;
      RewriteReport report;
      RewriteSenderWith(host, nullptr, table, &report);
      most = std::max(most, report.workUsed);
      ++replies;
    }
  }
  EXPECT_EQ(replies, 12);
  EXPECT_GT(most, 0);  // the replies reached the rules
  SettingsTable hundred;
  MailboxSettings& box = hundred["box.mb"];
  box.enabled = true;
  for (const bench::RuleText& text : bench::MailboxRules())
    box.rules.push_back(Rule(text.regex ? "R" : "", text.pattern, "", ""));
  MemoryHost host = bench::ReplyHost(bench::ReplySource(bench::Addresses(20)));
  RewriteReport report;
  RewriteSenderWith(host, nullptr, hundred, &report);
  most = std::max(most, report.workUsed);
  std::printf("most rule work of an ordinary reply: %lld steps, %.4f%% of the bound\n",
              static_cast<long long>(most), 100.0 * static_cast<double>(most) / ReplyWorkBudget);
  EXPECT_LT(most, ReplyWorkBudget / 1000);
}

// A host that runs the plug-in's own start, exit or settings OK from inside
// one of its functions, as a host pumping messages there may do.
enum class HostCall { GetCurrentFolder, CompGetSpecifiedHeader, GetSource, CompSetSpecifiedHeader };

class ReenteringHost : public MemoryHost {
 public:
  HostCall when = HostCall::GetSource;
  std::function<void()> reenter;

  std::string GetCurrentFolder() override {
    Reenter(HostCall::GetCurrentFolder);
    return MemoryHost::GetCurrentFolder();
  }
  void CompGetSpecifiedHeader(ComposeWindow window, const std::string& header, char* buffer,
                              int size) override {
    Reenter(HostCall::CompGetSpecifiedHeader);
    MemoryHost::CompGetSpecifiedHeader(window, header, buffer, size);
  }
  std::optional<std::string> GetSource(const std::string& messageRef) override {
    Reenter(HostCall::GetSource);
    return MemoryHost::GetSource(messageRef);
  }
  void CompSetSpecifiedHeader(ComposeWindow window, const std::string& header,
                              const std::string& value) override {
    Reenter(HostCall::CompSetSpecifiedHeader);
    MemoryHost::CompSetSpecifiedHeader(window, header, value);
  }

 private:
  void Reenter(HostCall call) {
    if (call != when || !reenter) return;
    const std::function<void()> once = std::move(reenter);
    reenter = nullptr;
    once();
  }
};

TEST(Reentrancy, TheRunningReplyKeepsItsTable) {
  regex::InstallCaseTable();
  testing::TestFolder folder;
  folder.WriteFile("Work.mb/fromsel.ini",
                   ">Enable=1\n>Delivered-To=0\n:S:*@example.org\tMe\tme@example.net\n");
  const std::string dataFolder = folder.withSeparator();
  // What the host may run from inside its function: exit, start, and the
  // settings dialog's OK (a new table replaces the old one).
  const std::vector<std::pair<const char*, std::function<void()>>> actions = {
      {"exit", [] { ReleaseSettingsTable(); }},
      {"start", [&] { LoadSettingsTable(dataFolder); }},
      {"ok", [] { AssignSettingsTable(SettingsTable{}); }},
  };
  for (HostCall call : {HostCall::GetCurrentFolder, HostCall::CompGetSpecifiedHeader,
                        HostCall::GetSource, HostCall::CompSetSpecifiedHeader}) {
    for (const auto& [name, action] : actions) {
      SCOPED_TRACE(std::string(name) + " from host call " + std::to_string(static_cast<int>(call)));
      ReenteringHost host;
      host.dataFolder = dataFolder;
      host.mailbox = "Work.mb\\";
      host.folder = "Work.mb\\";
      host.composeHeaders["X-Becky-Ref"] = "Work.mb\\>1";
      host.anySource = "To: news@example.org\r\n\r\n";
      host.when = call;
      host.reenter = action;
      int window = 0;
      LoadSettingsTable(dataFolder);
      RewriteSender(host, &window);
      // The reply ends with the rules it started with, whatever replaced them.
      EXPECT_EQ(host.headersSet, (Headers{{"Sender", "<me@example.net>"},
                                          {"From", "Me <me@example.net>"}}));
    }
  }
  ReleaseSettingsTable();
}

struct SenderCase {
  const char* name;
  std::string base;
  std::string local, domain;
};

class BuildSenderTest : public ::testing::TestWithParam<SenderCase> {};

TEST_P(BuildSenderTest, SplitsAndQuotes) {
  const AddressRule rule = Rule("", "*", "", GetParam().base);
  const SenderAddress sender = BuildSenderAddress(rule, "unused@x", regex::RegexRegisters{});
  EXPECT_EQ(sender.localPart, GetParam().local);
  EXPECT_EQ(sender.domainPart, GetParam().domain);
}

INSTANTIATE_TEST_SUITE_P(
    Rewrite, BuildSenderTest,
    ::testing::Values(SenderCase{"DotAtom", "a.b.c@x", "a.b.c", "@x"},
                      SenderCase{"LeadingDot", ".a@x", "\".a\"", "@x"},
                      SenderCase{"TrailingDot", "a.@x", "\"a.\"", "@x"},
                      SenderCase{"DoubleDot", "a..b@x", "\"a..b\"", "@x"},
                      SenderCase{"LastAtSplits", "a@b@x", "\"a@b\"", "@x"},
                      SenderCase{"OnlyAt", "@x", "", "@x"},
                      SenderCase{"NoAtIsAllLocal", "post master", "\"post master\"", ""},
                      SenderCase{"QuotedAgain", "\"q\\x\"@x", "\"\\\"q\\\\x\\\"\"", "@x"},
                      SenderCase{"EightBit", "j\xf6rg@x", "\"j\xf6rg\"", "@x"},
                      // Unquoted, the parentheses would make a comment of "x".
                      SenderCase{"Parentheses", "me(x)@y", "\"me(x)\"", "@y"}),
    CaseName<SenderCase>);

}  // namespace
}  // namespace fromsel
