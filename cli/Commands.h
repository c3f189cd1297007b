// The command groups of brimelctl. Each adds its subcommands to the application; the
// one the user chose leaves its work in `action`, which runs after the whole command
// line was parsed.
#pragma once

#include <functional>

namespace CLI {
class App;
}

namespace brimel::cli {

class Context;
using Action = std::function<void()>;

void addDeviceCommands(CLI::App &app, Context &ctx, Action &action);    // list, doctor
void addStatusCommands(CLI::App &app, Context &ctx, Action &action);    // status, watch
void addSettingsCommands(CLI::App &app, Context &ctx, Action &action);  // get, set, settings
void addEdidCommands(CLI::App &app, Context &ctx, Action &action);      // edid
void addActionCommands(CLI::App &app, Context &ctx, Action &action);    // infoframe, matrix, reset

}  // namespace brimel::cli
