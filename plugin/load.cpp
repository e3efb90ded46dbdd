#include "plugin/load.h"

#include "win32/host_binding.h"
#include "win32/module.h"

namespace fromsel {
namespace {

std::string g_pluginIniPath;

// Holds the update-information address (string 5).
constexpr int kUpdateUrlSize = 260;
constexpr const char* kPlugInsDirectoryName = "PlugIns";
constexpr const char* kUpdateSection = "Freshen";
constexpr const char* kUpdateKey = "Update";

enum class PathKind { Missing, Directory, File };

PathKind KindOf(const std::string& path) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return PathKind::Missing;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory
                                                             : PathKind::File;
}

// Makes sure the data folder's PlugIns directory exists; shows the failure.
bool EnsurePlugInsDirectory(const std::string& path) {
  switch (KindOf(path)) {
    case PathKind::Directory:
      return true;
    case PathKind::File:
      ShowResourceMessage(nullptr, IDS_CANNOT_CREATE_INI, kLoadFailureFlags);
      return false;
    case PathKind::Missing:
      break;
  }
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  const DWORD error = GetLastError();
  ShowSystemErrorMessage(nullptr, IDS_CANNOT_CREATE_INI, error, kLoadFailureFlags);
  return false;
}

void WriteUpdateEntry(const std::string& iniPath) {
  const std::string url = LoadResourceString(IDS_UPDATE_URL, kUpdateUrlSize);
  // Only the maker's update checker reads this; a failed write is no reason
  // to refuse the load.
  WritePrivateProfileStringA(kUpdateSection, kUpdateKey, url.c_str(), iniPath.c_str());
}

}  // namespace

std::string IniFileNameFor(const std::string& modulePath) {
  const size_t slash = modulePath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name + ".ini";
}

bool AttachPlugin(HINSTANCE instance) {
  SetModuleInstance(instance);
  if (!BindHostFunctions(BoundHostFunctions())) {
    ShowResourceMessage(nullptr, IDS_HOST_API_FAILED, kLoadFailureFlags);
    return false;
  }
  const std::string dataFolder = BoundHost().GetDataFolder();
  if (dataFolder.empty()) {
    // No data folder (or a null one): "PlugIns" would land in whatever the
    // current directory is. There is no place for the ini file.
    ShowResourceMessage(nullptr, IDS_CANNOT_CREATE_INI, kLoadFailureFlags);
    return false;
  }
  const std::string plugIns = dataFolder + kPlugInsDirectoryName;
  if (!EnsurePlugInsDirectory(plugIns)) return false;
  const std::string iniPath = plugIns + "\\" + IniFileNameFor(ModulePath(instance));
  g_pluginIniPath = iniPath;
  WriteUpdateEntry(iniPath);
  return true;
}

void DetachPlugin() {}

const std::string& PluginIniPath() { return g_pluginIniPath; }

}  // namespace fromsel
