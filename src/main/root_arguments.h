#pragma once

#include <string>
#include <vector>

namespace vellumar::desktop {

// The arguments handed to QApplication. As root, Qt's own options that load code or move
// plugin and style paths (-platformpluginpath, -plugin, -style, -stylesheet, ...) must not
// reach it: only the program name passes. Otherwise everything passes unchanged.
std::vector<std::string> ToolkitArguments(const std::vector<std::string>& arguments, bool runningAsRoot);

// Environment variables that make Qt load code from elsewhere; cleared when running as root.
inline constexpr const char* kToolkitCodeVariables[] = {"QT_PLUGIN_PATH",         "QT_QPA_PLATFORM_PLUGIN_PATH",
                                                        "QT_STYLE_OVERRIDE",      "QT_QPA_PLATFORMTHEME",
                                                        "QT_QPA_GENERIC_PLUGINS", "QT_IM_MODULE",
                                                        "QT_DEBUG_PLUGINS",       "QML_IMPORT_PATH",
                                                        "QML2_IMPORT_PATH"};

}  // namespace vellumar::desktop
