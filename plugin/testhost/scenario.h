// Named scenarios of the test host. The command line is a sequence of
// options (--key value) and scenario names; each name runs with the options
// given before it. Any *.cpp in this folder can add scenarios:
//
//   TESTHOST_SCENARIO(my_check, "what it does") {
//     ... context.Option("key") ... context.plugin.onPlugInSetup(nullptr) ...
//     return true;  // false marks the run as failed (exit code 1)
//   }
#pragma once

#include <map>
#include <string>

#include "plugin/testhost/plugin_module.h"

namespace fromsel::testhost {

struct ScenarioContext {
  std::map<std::string, std::string> options;  // key without the leading "--"
  PluginModule plugin;

  std::string Option(const std::string& key, const std::string& fallback = "") const;
  int IntOption(const std::string& key, int fallback) const;
};

using ScenarioFunction = bool (*)(ScenarioContext& context);

struct Scenario {
  const char* name;
  const char* help;
  ScenarioFunction run;
};

bool RegisterScenario(const char* name, const char* help, ScenarioFunction run);
const Scenario* FindScenario(const std::string& name);
const std::map<std::string, Scenario>& AllScenarios();

// Bytes as lower-case hex, for report lines that tests match.
std::string HexBytes(const std::string& bytes);

}  // namespace fromsel::testhost

#define TESTHOST_SCENARIO(name, help)                                                    \
  static bool TesthostScenario_##name(::fromsel::testhost::ScenarioContext& context);    \
  static const bool testhostScenarioRegistered_##name =                                  \
      ::fromsel::testhost::RegisterScenario(#name, help, TesthostScenario_##name);       \
  static bool TesthostScenario_##name([[maybe_unused]] ::fromsel::testhost::ScenarioContext& context)
