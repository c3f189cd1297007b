// The command line: common options, the commands, and every way a run ends mapped to
// its exit code, in words on standard error or as JSON on standard output.
#include "cli/Brimelctl.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Context.h"

#ifndef BRIMEL_VERSION
#define BRIMEL_VERSION "0"
#endif

namespace brimel::cli {

namespace {

constexpr const char *kExitCodes =
    "Exit status:\n"
    "  0    done\n"
    "  1    unexpected failure\n"
    "  2    usage or invalid value\n"
    "  3    no Brimel found\n"
    "  4    several Brimels match (choose one with --device)\n"
    "  5    permission denied\n"
    "  6    busy: another program holds the Brimel\n"
    "  7    no reply or I/O error\n"
    "  8    the device did not take a value\n"
    "  9    bad input file\n"
    "  130  interrupted\n";

void report(Context &ctx, const Failure &f) {
    if (f.message.empty()) return;  // the command has said all there is
    if (ctx.json()) {
        Json error{{"code", f.code}, {"message", f.message}, {"exit", f.exit}};
        if (!f.details.is_null())
            for (auto &[key, value] : f.details.items()) error[key] = value;
        ctx.emit({{"error", error}});
    }
    ctx.err() << "brimelctl: " << f.message << '\n';
}

}  // namespace

int run(const std::vector<std::string> &args, Environment &env) {
    Context ctx(env);
    CLI::App app{
        "Control the Brimel HDMI signal processor from the command line: the live signal "
        "status, every setting by name, the EDID, the colour matrix, custom infoframes "
        "and profiles, for scripts, automation and machines without a desktop.",
        "brimelctl"};
    app.set_version_flag("--version", "brimelctl " BRIMEL_VERSION);
    app.footer(std::string(kExitCodes) +
               "\nRun 'brimelctl COMMAND --help' for a command's own options.");
    app.require_subcommand(1);
    app.fallthrough();
    app.add_flag(
        "--json", ctx.options.json,
        "One JSON object on standard output (also on error); messages stay on standard error");
    app.add_option("--device", ctx.options.device,
                   "The Brimel at this USB port path (as 'list' shows, e.g. 1-2.3)");
    app.add_flag("--demo", ctx.options.demo,
                 "The emulated Brimel of brimel-demo; its state is kept between calls");
    app.add_option("--wait", ctx.options.waitSeconds,
                   "Retry a Brimel held by another program for this many seconds")
        ->check(CLI::Range(0.0, 3600.0));

    Action action;
    addDeviceCommands(app, ctx, action);
    addStatusCommands(app, ctx, action);
    addSettingsCommands(app, ctx, action);
    addEdidCommands(app, ctx, action);
    addActionCommands(app, ctx, action);

    std::vector<std::string> argvText{"brimelctl"};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<const char *> argv;
    for (const std::string &a : argvText) argv.push_back(a.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e, env.console.out, env.console.err);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e, env.console.out, env.console.err);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e, env.console.out, env.console.err);
    } catch (const CLI::ParseError &e) {
        // --json is known once the command line is read; a broken one may still ask for it.
        ctx.options.json = std::find(args.begin(), args.end(), "--json") != args.end();
        report(ctx, {kExitUsage, "usage", e.what()});
        if (!ctx.json()) ctx.err() << "Run 'brimelctl --help' for the commands and options.\n";
        return kExitUsage;
    }

    try {
        if (action) action();
        return kExitOk;
    } catch (const Failure &f) {
        report(ctx, f);
        return f.exit;
    } catch (const std::exception &e) {
        report(ctx, {kExitFailure, "failure", e.what()});
        return kExitFailure;
    }
}

}  // namespace brimel::cli
