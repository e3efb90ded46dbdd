#include <gtest/gtest.h>

#include <algorithm>

#include "testing/test_folder.h"
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
                    "From: Jane Doe (Example Corp) <PRESS@example.net>\n"},
        ExampleCase{"FolderFromAddr",
                    {"--mailbox", "Work.mb", "--folder", "Work.mb/Lists/", "--explain",
                     Message("mailing-list.eml")},
                    1,
                    "folder has FromAddr\nunchanged\n"},
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
                    "no recipient matched\nunchanged\n"}),
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
            "disabled\nunchanged\n");
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
