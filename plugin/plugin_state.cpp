// The plug-in's process-wide state: module instance, bound host API, ini path.
#include "plugin/load.h"
#include "plugin/plugin.h"

namespace fromsel {
namespace {

HINSTANCE g_moduleInstance = nullptr;
HostFunctions g_hostFunctions;
BoundHostApi g_boundHost(g_hostFunctions);
std::string g_pluginIniPath;

}  // namespace

HINSTANCE ModuleInstance() { return g_moduleInstance; }
void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }
HostFunctions& BoundHostFunctions() { return g_hostFunctions; }
HostApi& BoundHost() { return g_boundHost; }
const std::string& PluginIniPath() { return g_pluginIniPath; }
void SetPluginIniPath(const std::string& path) { g_pluginIniPath = path; }

}  // namespace fromsel
