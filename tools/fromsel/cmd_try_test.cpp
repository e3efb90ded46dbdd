#include <gtest/gtest.h>

#include <algorithm>

#include "testing/test_folder.h"
#include "tools/fromsel/json_lines.h"
#include "tools/fromsel/run_fromsel_test.h"

namespace fromsel::cli {
namespace {

// Failures name the case instead of dumping its bytes.
template <class Case>
auto operator<<(std::ostream& os, const Case& c) -> decltype(c.name, os) { return os << c.name; }

const std::string kExamples = std::string(FROMSEL_SOURCE_DIR) + "/examples/";

std::string Message(const std::string& name) { return kExamples + "messages/" + name; }

struct ExampleCase {
  const char* name;
  std::vector<std::string> argv;  // after "try --data DATA"
  int code;
  std::string out;
};

class TryExampleTest : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(TryExampleTest, PrintsTheHeadersSet) {
  std::vector<std::string> argv = {"try", "--data", kExamples + "data"};
  argv.insert(argv.end(), GetParam().argv.begin(), GetParam().argv.end());
  const CliRun run = RunFromsel(argv);
  EXPECT_EQ(run.code, GetParam().code) << run.err;
  EXPECT_EQ(run.out, GetParam().out);
  EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TryExampleTest,
    ::testing::Values(
        ExampleCase{"BracesAndSender",
                    {"--mailbox", "Work.mb", Message("sales-inquiry.eml")},
                    0,
                    "Sender: <sales@example.com>\nFrom: Example Corp Sales <sales@example.com>\n"},
        ExampleCase{"RegexGroup",
                    {"--mailbox", "Work.mb", Message("plus-address.eml")},
                    0,
                    "From: Jane Doe <jane.doe@example.com>\n"},
        ExampleCase{"Verp",
                    {"--mailbox", "Work.mb", "--folder", "Work.mb\\Inbox", Message("mailing-list.eml")},
                    0,
                    "Sender: <jane.doe-@example.com-@[]>\nFrom: Jane Doe <jane.doe@example.com>\n"},
        ExampleCase{"WholeMatch",
                    {"--mailbox", "work.MB", Message("press-alias.eml")},
                    0,
                    "From: \"Jane Doe (Example Corp)\" <PRESS@example.net>\n"},
        ExampleCase{"FolderFromAddr",
                    {"--mailbox", "Work.mb", "--folder", "Work.mb/Lists/", "--explain",
                     Message("mailing-list.eml")},
                    1,
                    "folder has FromAddr\n  FromAddr=jane.lists@example.com in the folder's "
                    "Folder.ini; this folder's own From address wins: clear it in the folder's "
                    "properties to let Fromsel decide\nunchanged\n"},
        ExampleCase{"DeliveredTo",
                    {"--explain", "--mailbox", "Home.mb", Message("bcc-delivered.eml")},
                    0,
                    "header: Delivered-To\naddress: john@home.example.net\nrule: 1\n"
                    "pattern: (.+)@home\\.example\\.net\n"
                    "From: John Smith <john@home.example.net>\n"},
        ExampleCase{"GroupMember",
                    {"--mailbox", "Home.mb", Message("group.eml")},
                    0,
                    "From: John Smith <john.smith@mail.example>\n"},
        ExampleCase{"NoMatch",
                    {"--mailbox", "Home.mb", "--explain", Message("sales-inquiry.eml")},
                    1,
                    "no recipient matched\n"
                    "To: orders@sales.example.com\n"
                    "  rule 1, (.+)@home\\.example\\.net: no match\n"
                    "  rule 2, *@{mail.example,post.example}: no match\n"
                    "Cc: procurement@customer.example\n"
                    "  rule 1, (.+)@home\\.example\\.net: no match\n"
                    "  rule 2, *@{mail.example,post.example}: no match\n"
                    "Delivered-To: jane.doe@example.com\n"
                    "  rule 1, (.+)@home\\.example\\.net: no match\n"
                    "  rule 2, *@{mail.example,post.example}: no match\n"
                    "unchanged\n"},
        ExampleCase{"AccountNameAndSeveralMessages",
                    {"--mailbox", "home", Message("group.eml"), Message("sales-inquiry.eml")},
                    1,
                    "message: " + Message("group.eml") +
                        "\nFrom: John Smith <john.smith@mail.example>\n"
                        "message: " + Message("sales-inquiry.eml") + "\nunchanged\n"}),
    [](const ::testing::TestParamInfo<ExampleCase>& info) { return info.param.name; });

class TryFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.MakeDirectory("Plain.mb");
    folder_.MakeDirectory("Off.mb");
    folder_.WriteFile("Off.mb/fromsel.ini", ">Enable=0\n::*\t\tme@x\n");
    folder_.WriteFile("message.eml", "To: a@example.org\r\n\r\n");
  }

  CliRun Try(std::vector<std::string> args) {
    std::vector<std::string> argv = {"try", "--data", Root()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunFromsel(argv);
  }
  std::string Root() const { return folder_.path().string(); }
  std::string Path(const std::string& name) { return (folder_.path() / name).string(); }

  testing::TestFolder folder_;
};

TEST_F(TryFolderTest, NeverWritesToTheDataFolder) {
  const auto before = folder_.Snapshot();
  EXPECT_EQ(Try({"--mailbox", "Plain.mb", Path("message.eml")}).out, "unchanged\n");
  EXPECT_EQ(Try({"--mailbox", "Off.mb", "--explain", Path("message.eml")}).out,
            "disabled\n  fromsel.ini says >Enable=0: tick Enable in the settings dialog\n"
            "unchanged\n");
  EXPECT_EQ(folder_.Snapshot(), before);
}

// A rule whose test spends the reply's whole work bound (a back-reference
// keeps it from being decided early): --explain names the test.
TEST_F(TryFolderTest, ExplainNamesWhereTheWorkBoundWasReached) {
  folder_.MakeDirectory("Slow.mb");
  folder_.WriteFile("Slow.mb/fromsel.ini", ">Enable=1\n:R:(x+x+)+\\1y\t\tx@me\n::c@x\t\tany@me\n");
  folder_.WriteFile("slow.eml", "To: ok@x, " + std::string(30, 'x') + "\r\nCc: c@x\r\n\r\n");
  const CliRun run = Try({"--mailbox", "Slow.mb", "--explain", Path("slow.eml")});
  EXPECT_EQ(run.code, ExitNo);
  EXPECT_EQ(run.out, "work bound reached\nheader: To\naddress: " + std::string(30, 'x') +
                         "\nrule: 1\npattern: (x+x+)+\\1y\nunchanged\n");
}

// Why a mailbox is off: no file, no line the plug-in reads, or Enable=0.
TEST_F(TryFolderTest, ExplainSaysWhyTheMailboxIsOff) {
  folder_.MakeDirectory("Blank.mb");
  folder_.WriteFile("Blank.mb/fromsel.ini", "> Enable=1\n::*\t\tme@x\n");
  const std::pair<const char*, const char*> cases[] = {
      {"Plain.mb", "Plain.mb has no fromsel.ini: tick Enable for it in the settings dialog"},
      {"Blank.mb", "fromsel.ini has no >Enable line: add >Enable=1"},
      {"Off.mb", "fromsel.ini says >Enable=0: tick Enable in the settings dialog"}};
  for (const auto& [mailbox, why] : cases) {
    const CliRun run = Try({"--mailbox", mailbox, "--explain", Path("message.eml")});
    EXPECT_EQ(run.code, ExitNo);
    EXPECT_EQ(run.out, std::string("disabled\n  ") + why + "\nunchanged\n");
  }
}

// A miss names every rule's outcome for every candidate, in order; rule-form
// error positions count from the pattern as written.
TEST_F(TryFolderTest, ExplainListsEveryTestOfAMiss) {
  std::string wide;
  for (int i = 0; i < 13; ++i) wide += "{a,b}";
  folder_.MakeDirectory("Work.mb");
  folder_.WriteFile("Work.mb/fromsel.ini",
                    ">Enable=1\n:R:*@example.org\t\tme@x\n::" + wide + "\t\tme@x\n::b@x\t\t\n");
  folder_.WriteFile("two.eml", "To: a@example.org\r\nCc: c@x\r\n\r\n");
  const CliRun run = Try({"--mailbox", "Work.mb", "--explain", Path("two.eml")});
  EXPECT_EQ(run.code, ExitNo);
  const std::string rules =
      "  rule 1, *@example.org: compile error: invalid regular expression; there's no previous "
      "pattern, to which '*' would define cardinality at 1 (a leading * is wildcard syntax: make "
      "this a wildcard rule, or write .* for any text)\n"
      "  rule 2, " + wide + ": over the brace limit\n"
      "  rule 3, b@x: no match\n";
  EXPECT_EQ(run.out, "no recipient matched\nTo: a@example.org\n" + rules + "Cc: c@x\n" + rules +
                         "unchanged\n");
}

// The message from standard input (absent or "-"), without a byte-order
// mark, which would otherwise hide the To line.
TEST_F(TryFolderTest, MessageFromStandardInputAndWithAByteOrderMark) {
  folder_.MakeDirectory("Work.mb");
  folder_.WriteFile("Work.mb/fromsel.ini", ">Enable=1\n::*@example.org\tMe\tme@x\n");
  const std::string message = "\xEF\xBB\xBFTo: a@example.org\r\n\r\n";
  for (const std::vector<std::string>& tail :
       {std::vector<std::string>{}, std::vector<std::string>{"-"},
        std::vector<std::string>{"--", "-"}}) {
    std::vector<std::string> argv = {"try", "--data", Root(), "--mailbox", "Work.mb"};
    argv.insert(argv.end(), tail.begin(), tail.end());
    const CliRun run = RunFromsel(argv, message);
    EXPECT_EQ(run.code, ExitYes) << run.err;
    EXPECT_EQ(run.out, "From: Me <me@x>\n");
  }
  folder_.WriteFile("bom.eml", message);
  EXPECT_EQ(RunFromsel({"addresses", Path("bom.eml")}).out, "To\ta@example.org\n");
}

TEST_F(TryFolderTest, JsonGivesOneObjectPerMessage) {
  folder_.MakeDirectory("Work.mb");
  folder_.WriteFile("Work.mb/fromsel.ini", ">Enable=1\n:S:*@example.org\tDoe, J\tme@x\n");
  const CliRun run = Try({"--mailbox=Work.mb", "--json", "--explain", Path("message.eml"),
                          Path("message.eml")});
  EXPECT_EQ(run.code, ExitYes) << run.err;
  const std::string object =
      "{\"message\": " + JsonString(Path("message.eml")) +
      ", \"headers\": {\"Sender\": \"<me@x>\", \"From\": \"\\\"Doe, J\\\" <me@x>\"}"
      ", \"header\": \"To\", \"address\": \"a@example.org\", \"rule\": 1, \"pattern\": "
      "\"*@example.org\", \"candidates\": [{\"header\": \"To\", \"address\": "
      "\"a@example.org\", \"tests\": [{\"rule\": 1, \"outcome\": \"match\"}]}]}\n";
  EXPECT_EQ(run.out, object + object);
}

TEST_F(TryFolderTest, UnknownMailboxListsTheValidNames) {
  folder_.MakeMailbox("Work.mb", "Work Account");
  const CliRun run = Try({"--mailbox", "Personal", Path("message.eml")});
  EXPECT_EQ(run.code, ExitNoInput);
  EXPECT_TRUE(IsOneErrorLine(run));
  EXPECT_NE(run.err.find("the mailboxes are: Off.mb, Plain.mb, Work.mb (Work Account)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Try({"--mailbox", "work account", Path("message.eml")}).out, "unchanged\n");
}

struct ErrorCase {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the temp folder
  int code;
};

class TryErrorTest : public TryFolderTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(TryErrorTest, FailsWithOneLine) {
  std::vector<std::string> argv = {"try"};
  for (const std::string& arg : GetParam().args)
    argv.push_back(arg[0] == '@' ? Root() + arg.substr(1) : arg);
  const CliRun run = RunFromsel(argv);
  EXPECT_EQ(run.code, GetParam().code);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("fromsel: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, TryErrorTest,
    ::testing::Values(
        ErrorCase{"NoData", {"--mailbox", "Plain.mb", "@/message.eml"}, 64},
        ErrorCase{"NoMailbox", {"--data", "@", "@/message.eml"}, 64},
        ErrorCase{"UnknownOption", {"--data", "@", "--mailbox", "Plain.mb", "--x", "@/message.eml"}, 64},
        ErrorCase{"MissingData", {"--data", "@/nowhere", "--mailbox", "Plain.mb", "@/message.eml"}, 66},
        ErrorCase{"UnknownMailbox", {"--data", "@", "--mailbox", "Gone.mb", "@/message.eml"}, 66},
        ErrorCase{"MissingFolder",
                  {"--data", "@", "--mailbox", "Plain.mb", "--folder", "Plain.mb\\Nope", "@/message.eml"}, 66},
        ErrorCase{"MissingMessage", {"--data", "@", "--mailbox", "Plain.mb", "@/none.eml"}, 66}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

struct AddressesCase {
  const char* name;
  std::string message;
  int code;
  std::string out;
};

class AddressesTest : public ::testing::TestWithParam<AddressesCase> {};

TEST_P(AddressesTest, PrintsCandidatesInOfferOrder) {
  const CliRun run = RunFromsel({"addresses"}, GetParam().message);
  EXPECT_EQ(run.code, GetParam().code);
  EXPECT_EQ(run.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AddressesTest,
    ::testing::Values(
        AddressesCase{"ToCcDeliveredTo",
                      "Delivered-To: <me@x>\r\nCc: c@x\r\nTo: a@x, g: b@x;\r\n\r\n", 0,
                      "To\ta@x\nTo\tb@x\nCc\tc@x\nDelivered-To\t<me@x>\n"},
        AddressesCase{"EmptyDeliveredToShown", "Delivered-To:\r\n\r\n", 0, "Delivered-To\t\n"},
        AddressesCase{"NothingFound", "To: undisclosed-recipients:;\r\n\r\n", 1, ""}),
    [](const ::testing::TestParamInfo<AddressesCase>& info) { return info.param.name; });

TEST(Addresses, ReadsAFileAndReportsAMissingOne) {
  EXPECT_EQ(RunFromsel({"addresses", Message("group.eml")}).out,
            "To\tjohn.smith@mail.example\nTo\tmary@post.example\n");
  EXPECT_EQ(RunFromsel({"addresses", Message("no-such.eml")}).code, 66);
  EXPECT_EQ(RunFromsel({"addresses", "a", "b"}).code, 64);
}

}  // namespace
}  // namespace fromsel::cli
