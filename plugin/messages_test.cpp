// The shell's message and text routines, run in this process against the
// plug-in's own resources (linked into the test executable).
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/load.h"
#include "plugin/testhost/message_capture.h"
#include "win32/module.h"

namespace fromsel {
namespace {

// An error code with no text in the system message table.
constexpr DWORD kCodeWithoutText = 0x2000BEEF;

class ShellMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    SetModuleInstance(GetModuleHandleA(nullptr));
    testhost::StartMessageCapture();
    before_ = testhost::CapturedMessages().size();
  }
  void TearDown() override { testhost::StopMessageCapture(); }

  // The one message box shown since SetUp.
  testhost::CapturedMessage Shown() const {
    const auto& all = testhost::CapturedMessages();
    EXPECT_EQ(all.size(), before_ + 1) << "needs a display (run under xvfb-run)";
    return all.size() > before_ ? all.back() : testhost::CapturedMessage{};
  }

 private:
  size_t before_ = 0;
};

TEST_F(ShellMessages, ResourceMessageHasTheCaptionAndTheText) {
  ShowResourceMessage(nullptr, IDS_HOST_API_FAILED, kLoadFailureFlags);
  const auto shown = Shown();
  EXPECT_EQ(shown.caption, "Fromsel");
  EXPECT_EQ(shown.text, "Failed to initialize Becky! API.");
  EXPECT_TRUE(shown.topmost);
}

TEST_F(ShellMessages, SystemErrorMessageAppendsTheSystemTextAfterCrLf) {
  const int result =
      ShowSystemErrorMessage(nullptr, IDS_CANNOT_CREATE_INI, ERROR_PATH_NOT_FOUND, MB_OK);
  EXPECT_EQ(result, IDOK);
  const auto shown = Shown();
  const std::string head = "Unable to create ini file.\r\n";
  ASSERT_GT(shown.text.size(), head.size());
  EXPECT_EQ(shown.text.substr(0, head.size()), head);
}

TEST_F(ShellMessages, SystemErrorMessageWithoutASystemTextShowsTheResourceTextAlone) {
  char* probe = nullptr;
  ASSERT_EQ(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, kCodeWithoutText, 0, reinterpret_cast<LPSTR>(&probe), 0,
                           nullptr),
            0u);
  ShowSystemErrorMessage(nullptr, IDS_CANNOT_CREATE_INI, kCodeWithoutText, MB_OK);
  EXPECT_EQ(Shown().text, "Unable to create ini file.");
}

struct CutCase {
  UINT id;
  int bufferSize;
  const char* expected;
};

class ResourceStringCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(ResourceStringCut, KeepsAtMostTheBufferLessTheTerminator) {
  SetModuleInstance(GetModuleHandleA(nullptr));
  EXPECT_EQ(LoadResourceString(GetParam().id, GetParam().bufferSize), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, ResourceStringCut,
    ::testing::Values(CutCase{IDS_CAPTION, 32, "Fromsel"}, CutCase{IDS_CAPTION, 4, "Fro"},
                      CutCase{IDS_REGEX_COMPILE_ERROR, 128, "Regular Expression Compile Error\n"},
                      CutCase{IDS_COLUMN_ADDRESS, 128, "Address"},
                      CutCase{999, 128, ""}));

TEST(ShellText, VersionStringShowsThreeOfTheFourNumbers) {
  SetModuleInstance(GetModuleHandleA(nullptr));
  char text[kVersionTextSize];
  std::memset(text, 'x', sizeof text);
  FormatVersionString(text);
  EXPECT_STREQ(text, "Version 0.3.0");
}

TEST(ShellText, WindowTextIsReadWholeWhateverItsLength) {
  const std::string longText(5000, 'w');
  for (const std::string& text : {std::string(), std::string("Work"), longText}) {
    HWND window = CreateWindowA("STATIC", text.c_str(), 0, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowTextString(window), text);
    DestroyWindow(window);
  }
}

}  // namespace
}  // namespace fromsel
