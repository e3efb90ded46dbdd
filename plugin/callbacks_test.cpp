// The callbacks of the real fromsel.dll driven by the test host, with a data
// folder and source messages on disk: compose modes, the reply road end to
// end, calls out of the expected order, and the host's source buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/testhost/host_runner.h"

namespace fromsel {
namespace {

using testhost::HostRun;
using testhost::RunHost;
using testing::TestFolder;

constexpr const char* kSource =
    "Return-Path: <bounce@example.org>\r\n"
    "Delivered-To: me+lists@example.net\r\n"
    "From: News Desk <desk@example.com>\r\n"
    "To: Some One <news@example.org>\r\n"
    "Cc: other@example.com\r\n"
    "Subject: hello\r\n"
    "\r\n"
    "To: body@example.org is not a header\r\n";

// A data folder with mailbox Work.mb holding `settings` and the source message.
struct ReplySetup {
  TestFolder data;
  explicit ReplySetup(const std::string& settings) {
    data.MakeDirectory("Work.mb\\Inbox");
    data.WriteFile("Work.mb\\fromsel.ini", settings);
    data.WriteFile("source.eml", kSource);
  }
  std::vector<std::string> Arguments(const std::vector<std::string>& steps) const {
    std::vector<std::string> arguments{"--data",   data.withSeparator(),       "--mailbox",
                                       "Work.mb",  "--folder",        "Work.mb\\Inbox\\",
                                       "--source", data.withSeparator() + "source.eml",
                                       "--ref",    "Work.mb\\Inbox\\>255"};
    arguments.insert(arguments.end(), steps.begin(), steps.end());
    return arguments;
  }
  HostRun Run(const std::vector<std::string>& steps) const {
    return RunHost("testhost.exe", Arguments(steps));
  }
};

std::string Enabled(const std::string& rules) { return ">Enable=1\n>Delivered-To=0\n" + rules; }

TEST(PluginCompose, OnlyTheReplyModesRewriteTheSender) {
  ReplySetup setup(Enabled("::*@example.org\tMe\tme@example.net\n"));
  std::vector<std::string> steps{"load", "start"};
  for (int mode = 0; mode <= 9; ++mode) {
    steps.insert(steps.end(), {"--mode", std::to_string(mode), "compose"});
  }
  const HostRun run = setup.Run(steps);
  ASSERT_TRUE(run.finished) << run.output;
  for (int mode = 0; mode <= 9; ++mode) {
    const bool reply = mode >= 5 && mode <= 7;
    const std::string expected =
        "compose " + std::to_string(mode) + ": 0 sets " + (reply ? "1" : "0");
    EXPECT_TRUE(run.HasLine(expected)) << expected << "\n" << run.output;
  }
  EXPECT_EQ(run.LinesStartingWith("set: From: Me <me@example.net>").size(), 3u);
  EXPECT_EQ(run.LinesStartingWith("getsource: ").size(), 3u);
}

struct ReplyCase {
  const char* name;
  const char* settings;
  std::vector<std::string> sets;  // the "set:" lines in order; none: unchanged
};

class PluginReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(PluginReply, SetsTheExpectedHeaders) {
  ReplySetup setup(GetParam().settings);
  const HostRun run = setup.Run({"load", "start", "compose"});
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_EQ(run.LinesStartingWith("set: "), GetParam().sets) << run.output;
}

const ReplyCase kReplyCases[] = {
    {"NameAndAddress", ">Enable=1\n::*@example.org\tMe\tme@example.net\n",
     {"set: From: Me <me@example.net>"}},
    {"SenderInVerpForm", ">Enable=1\n:SV:*@example.org\t\tme@example.net\n",
     {"set: Sender: <me-@example.net-@[]>", "set: From: <me@example.net>"}},
    {"QuotedLocalPart", ">Enable=1\n:SV:*\t\tjohn doe@example.net\n",
     {"set: Sender: <\"john doe-\"@example.net-@[]>", "set: From: <\"john doe\"@example.net>"}},
    {"MatchedAddressItself", ">Enable=1\n::*\t\t\n", {"set: From: <news@example.org>"}},
    {"NameWithCommaQuoted", ">Enable=1\n::*\tDoe, John\tjd@example.net\n",
     {"set: From: \"Doe, John\" <jd@example.net>"}},
    {"NameWithParenthesesQuoted", ">Enable=1\n::*\tJane Doe (Example Corp)\tj@example.net\n",
     {"set: From: \"Jane Doe (Example Corp)\" <j@example.net>"}},
    {"QuotedNameAsStored", ">Enable=1\n::*\t\"Doe, John\"\tjd@example.net\n",
     {"set: From: \"Doe, John\" <jd@example.net>"}},
    // A byte-order mark from Notepad does not turn the first line into a rule.
    {"ByteOrderMarkSkipped", "\xEF\xBB\xBF>Enable=1\n::*\tMe\tme@example.net\n",
     {"set: From: Me <me@example.net>"}},
    {"DisabledMailbox", ">Enable=0\n::*\tMe\tme@example.net\n", {}},
    {"NoSettingsFile", "", {}},
    {"VerpWithoutSetSender", ">Enable=1\n:V:*@example.org\tMe\tme@example.net\n",
     {"set: From: Me <me@example.net>"}},
    {"ToBeforeCc", ">Enable=1\n::*@example.com\tCc\tcc@example.net\n::*@example.org\tTo\tto@x\n",
     {"set: From: To <to@x>"}},
    {"CcWhenNoToMatches", ">Enable=1\n::other@*\tCc\tcc@example.net\n",
     {"set: From: Cc <cc@example.net>"}},
    {"DeliveredToOnlyWhenAsked", ">Enable=1\n::me+*@example.net\tD\td@example.net\n", {}},
    {"DeliveredToLast", ">Enable=1\n>Delivered-To=1\n::me+*@example.net\tD\td@example.net\n",
     {"set: From: D <d@example.net>"}},
    {"RegexWithGroupTemplate", ">Enable=1\n:R:(.*)@example\\.org\tRe\t\\1@example.net\n",
     {"set: From: Re <news@example.net>"}},
    // Needs the case table that BKC_OnStart installs.
    {"RegexIgnoresCase", ">Enable=1\n:R:NEWS@EXAMPLE\\.ORG\tUp\tup@example.net\n",
     {"set: From: Up <up@example.net>"}},
    {"BracesInWildcard", ">Enable=1\n::{info,news}@example.{com,org}\tB\tb@example.net\n",
     {"set: From: B <b@example.net>"}},
    {"RegexThatDoesNotCompile", ">Enable=1\n:R:(unclosed\tX\tx@example.net\n", {}},
};

INSTANTIATE_TEST_SUITE_P(EndToEnd, PluginReply, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PluginCompose, FolderWithItsOwnFromAddrIsLeftAlone) {
  ReplySetup setup(Enabled("::*\tMe\tme@example.net\n"));
  setup.data.WriteFile("Work.mb\\Inbox\\Folder.ini", "[Settings]\r\nFromAddr=desk@example.org\r\n");
  const HostRun run = setup.Run({"load", "start", "compose"});
  EXPECT_TRUE(run.HasLine("compose 6: 0 sets 0")) << run.output;
  EXPECT_TRUE(run.LinesStartingWith("getsource:").empty()) << run.output;
}

TEST(PluginCompose, SourceIsFetchedByItsReferenceAndHandedBackToTheHost) {
  ReplySetup setup(Enabled("::nobody@*\tMe\tme@example.net\n"));
  const HostRun run = setup.Run({"load", "start", "compose", "compose", "balance"});
  EXPECT_EQ(run.LinesStartingWith("getsource: "),
            (std::vector<std::string>{"getsource: Work.mb\\Inbox\\?000000ff",
                                      "getsource: Work.mb\\Inbox\\?000000ff"}))
      << run.output;
  EXPECT_TRUE(run.HasLine("balance: allocated 2 released 2 unknown 0")) << run.output;
}

TEST(PluginCompose, AHostWithoutBkaFreeStillLoadsAndReplies) {
  ReplySetup setup(Enabled("::*\tMe\tme@example.net\n"));
  const HostRun run =
      RunHost("testhost_nofree.exe", setup.Arguments({"load", "start", "compose", "balance"}));
  EXPECT_TRUE(run.HasLine("load: ok")) << run.output;
  EXPECT_TRUE(run.HasLine("set: From: Me <me@example.net>")) << run.output;
  // Nothing to hand the text back to: the host keeps it.
  EXPECT_TRUE(run.HasLine("balance: allocated 1 released 0 unknown 0")) << run.output;
}

TEST(PluginCompose, MissingSourceChangesNothing) {
  ReplySetup setup(Enabled("::*\tMe\tme@example.net\n"));
  std::vector<std::string> arguments = setup.Arguments({});
  arguments.insert(arguments.end(), {"--source", "", "load", "start", "compose", "balance"});
  const HostRun run = RunHost("testhost.exe", arguments);
  EXPECT_TRUE(run.HasLine("compose 6: 0 sets 0")) << run.output;
  EXPECT_TRUE(run.HasLine("balance: allocated 0 released 0 unknown 0")) << run.output;
}

TEST(PluginLifecycle, CallbacksOutOfOrderNeverCrashAndChangeNothing) {
  ReplySetup setup(Enabled("::*\tMe\tme@example.net\n"));
  const HostRun run = setup.Run({"load", "compose", "info", "exit", "start", "exit", "compose",
                                 "exit", "start", "compose", "exit", "unload"});
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(run.LinesStartingWith("compose 6: "),
            (std::vector<std::string>{"compose 6: 0 sets 0", "compose 6: 0 sets 0",
                                      "compose 6: 0 sets 1"}))
      << run.output;
  EXPECT_TRUE(run.HasLine("info.version: Version 0.3.0"));
  EXPECT_TRUE(run.HasLine("unload: ok"));
}

TEST(PluginLifecycle, SetupReturnsOneAndBeforeStartLoadsTheSettingsFirst) {
  const std::string settings = Enabled("::*\tMe\tme@example.net\n");
  ReplySetup setup(settings);
  const HostRun run =
      setup.Run({"--close-dialogs", "cancel", "--owner", "1", "load", "setup", "compose"});
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_TRUE(run.HasLine("setup: 1")) << run.output;
  EXPECT_EQ(run.LinesStartingWith("dialog: ").size(), 1u) << run.output;
  EXPECT_TRUE(run.LinesStartingWith("messagebox: ").empty()) << run.output;
  // Cancelled: the file is as it was, and the rules loaded by setup now apply.
  EXPECT_EQ(setup.data.ReadFile("Work.mb\\fromsel.ini"), settings);
  EXPECT_TRUE(run.HasLine("compose 6: 0 sets 1")) << run.output;
}

TEST(PluginLifecycle, SetupConfirmedBeforeStartSavesTheSettingsItLoaded) {
  const std::string settings = Enabled(":RSV:(.*)@example\\.org\tMe\t\\1@example.net\n");
  ReplySetup setup(settings);
  setup.data.MakeDirectory("Empty.mb");
  const HostRun run = setup.Run({"--close-dialogs", "ok", "load", "setup", "exit", "unload"});
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_TRUE(run.HasLine("setup: 1")) << run.output;
  EXPECT_EQ(run.LinesStartingWith("dialog: ").size(), 1u) << run.output;
  // The rules on disk survive a confirmed dialog that was opened before start,
  // and a mailbox without a file gets the default one.
  EXPECT_EQ(setup.data.ReadFile("Work.mb\\fromsel.ini"), settings);
  EXPECT_EQ(setup.data.ReadFile("Empty.mb\\fromsel.ini"), ">Enable=0\n>Delivered-To=0\n");
}

// A host that pumps messages inside its own functions may run exit, start
// or the settings dialog's OK from there. The reply under way finishes with
// the rules it started with, the host lives on, and the file is intact.
TEST(PluginReentry, ExitStartOrSetupFromInsideAHostFunction) {
  const std::string settings = Enabled("::*\tMe\tme@example.net\n");
  ReplySetup setup(settings);
  for (const char* from : {"GetCurrentFolder", "CompGetSpecifiedHeader", "GetSource"}) {
    for (const char* calls : {"exit", "start", "setup"}) {
      SCOPED_TRACE(std::string(calls) + " from " + from);
      const HostRun run = setup.Run({"--close-dialogs", "ok", "load", "start", "--from", from,
                                     "--calls", calls, "reenter", "compose", "balance", "exit",
                                     "unload"});
      ASSERT_TRUE(run.finished) << run.output;
      EXPECT_EQ(run.exitCode, 0u) << run.output;
      EXPECT_TRUE(run.HasLine(std::string("reenter: from ") + from)) << run.output;
      EXPECT_EQ(run.LinesStartingWith("reenter: " + std::string(calls)).size(), 1u) << run.output;
      // Setup shows the dialog, which --close-dialogs confirms with OK.
      EXPECT_EQ(run.LinesStartingWith("dialog: ").size(), std::string(calls) == "setup" ? 1u : 0u)
          << run.output;
      EXPECT_TRUE(run.HasLine("compose 6: 0 sets 1")) << run.output;
      EXPECT_TRUE(run.HasLine("balance: allocated 1 released 1 unknown 0")) << run.output;
      EXPECT_EQ(setup.data.ReadFile("Work.mb\\fromsel.ini"), settings);
    }
  }
}

// Out of memory in every callback: an allocation of the plug-in fails and
// throws std::bad_alloc. Each exception must end inside the plug-in (on i686
// it could not unwind through the host's frames), the callbacks give their
// usual results, and the plug-in works as before afterwards.
TEST(PluginFaults, OutOfMemoryInEveryCallbackStaysInsideThePlugin) {
  ReplySetup setup(Enabled("::*@example.org\tMe\tme@example.net\n"));
  const HostRun run = setup.Run({"--close-dialogs", "cancel", "load", "alloc_fail", "start",
                                 "start", "alloc_fail", "compose", "alloc_fail", "info",
                                 "alloc_fail", "setup", "alloc_ok", "compose", "exit"});
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_EQ(run.LinesStartingWith("start: "), (std::vector<std::string>{"start: 0", "start: 0"}))
      << run.output;
  EXPECT_EQ(run.LinesStartingWith("compose 6: "),
            (std::vector<std::string>{"compose 6: 0 sets 0", "compose 6: 0 sets 1"}))
      << run.output;
  for (const char* line : {"info: 0", "setup: 1", "exit: 0", "alloc_ok: 4 refused"})
    EXPECT_TRUE(run.HasLine(line)) << line << "\n" << run.output;
}

// A reply that runs out of memory at any one of its allocations: the host
// survives and gets back every source text it handed out.
TEST(PluginFaults, AReplyOutOfMemoryAtAnyAllocationKeepsNoSourceText) {
  ReplySetup setup(Enabled(":RSV:(.+)@example\\.org\tMe\t\\1@example.net\n"));
  const HostRun run = setup.Run({"load", "start", "compose_oom", "compose", "balance"});
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  const std::vector<std::string> summary = run.LinesStartingWith("compose_oom: ");
  ASSERT_FALSE(summary.empty()) << run.output;
  EXPECT_NE(summary.back().find(" allocations, 0 failure points wrong"), std::string::npos)
      << run.output;
  EXPECT_TRUE(run.HasLine("compose 6: 0 sets 2")) << run.output;
}

// The host's measurement of what a 32-bit callee pops, which every callback
// call goes through on i686: a stdcall callee pops its 8 argument bytes, a
// cdecl one none.
TEST(PluginStack, TheHostSeesWhatACalleePops) {
#if defined(__i386__)
  const HostRun run = RunHost("testhost.exe", {"stack_check"});
  EXPECT_TRUE(run.HasLine("stack_check: stdcall 2 off 0, cdecl 2 off -8")) << run.output;
#else
  GTEST_SKIP() << "only a 32-bit caller pushes the arguments a callee pops";
#endif
}

}  // namespace
}  // namespace fromsel
