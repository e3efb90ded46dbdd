#include "plugin/testhost/scenario.h"

#include <cstdio>
#include <cstdlib>

namespace fromsel::testhost {
namespace {

std::map<std::string, Scenario>& Registry() {
  static std::map<std::string, Scenario> registry;
  return registry;
}

}  // namespace

std::string ScenarioContext::Option(const std::string& key, const std::string& fallback) const {
  auto found = options.find(key);
  return found == options.end() ? fallback : found->second;
}

int ScenarioContext::IntOption(const std::string& key, int fallback) const {
  auto found = options.find(key);
  return found == options.end() ? fallback : std::atoi(found->second.c_str());
}

bool RegisterScenario(const char* name, const char* help, ScenarioFunction run) {
  Registry()[name] = Scenario{name, help, run};
  return true;
}

const Scenario* FindScenario(const std::string& name) {
  auto found = Registry().find(name);
  return found == Registry().end() ? nullptr : &found->second;
}

const std::map<std::string, Scenario>& AllScenarios() { return Registry(); }

std::string HexBytes(const std::string& bytes) {
  std::string out;
  char digits[4];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", c);
    out += digits;
  }
  return out;
}

}  // namespace fromsel::testhost
