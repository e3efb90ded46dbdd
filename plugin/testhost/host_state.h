// The test host's stand-in for the mail client: a data folder on disk,
// source messages from files, compose windows as header maps, and counters
// of what the plug-in asked for. The exported BKA_ functions serve from it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace fromsel::testhost {

struct ComposeWindowState {
  std::map<std::string, std::string> headers;  // name as given by the caller
  std::vector<std::pair<std::string, std::string>> setCalls;  // in call order
};

struct HostState {
  std::string dataFolder;     // Windows path ending in a backslash
  std::string currentMailbox; // directory name plus one backslash
  std::string currentFolder;  // relative to the data folder, ending in a backslash
  std::string sourceFile;     // served for every message reference; empty: none

  std::map<HWND, ComposeWindowState> composeWindows;
  std::vector<std::string> sourceRequests;
  std::vector<std::string> composeMailUrls;
  std::set<void*> liveSources;  // texts handed out and not yet released
  int sourcesAllocated = 0;
  int sourcesReleased = 0;
  int unknownReleases = 0;  // BKA_Free of a pointer this host never gave out
  HWND mainWindow = nullptr;
  // A host that pumps messages inside its own functions may run the
  // plug-in's callbacks from there: the next call of host function
  // `reenterFrom` ("GetSource", ...) runs `reentry`, once.
  std::string reenterFrom;
  std::function<void()> reentry;

  // Called first by the host functions that may re-enter the plug-in.
  void Reenter(const char* function);

  // The host's main window (hidden), created on first use: owner of the
  // plug-in's setup dialog when a scenario asks for one.
  HWND MainWindow();

  // A new compose window with the given "X-Becky-Ref" header.
  HWND NewComposeWindow(const std::string& beckyRef);
};

HostState& State();

// Prints one line of the host's report (stdout, flushed at once).
void Report(const char* format, ...);

// Control bytes of a text made visible for the one-line report.
std::string Escaped(const std::string& text);

// A path given on the command line as a Windows path (Unix paths map to Z:).
std::string WindowsPath(const std::string& path);

// The path with exactly one trailing backslash.
std::string WithTrailingBackslash(std::string path);

}  // namespace fromsel::testhost
