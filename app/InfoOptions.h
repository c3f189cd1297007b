// --help and --version of the window programs, answered before a QApplication exists, so
// they need no display and open no window.
#pragma once

#include <cstdio>
#include <optional>
#include <string_view>

namespace brimel {

// What --help says: the program's summary lines (without a trailing newline), and
// whether the program talks to a real Brimel and so needs the udev rule.
struct ProgramHelp {
    std::string_view summary;
    bool needsUdevRule;
};

// When the arguments ask for the help or the version, prints it on standard output
// and returns the exit code 0 (1 when the text could not be written); otherwise
// returns nothing and the program goes on. Every other argument is left to Qt.
inline std::optional<int> answerInfoOptions(int argc, char **argv, std::string_view program,
                                            std::string_view version, const ProgramHelp &help) {
    bool wantsHelp = false;
    bool wantsVersion = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") wantsHelp = true;
        if (arg == "--version") wantsVersion = true;
    }
    if (!wantsHelp && !wantsVersion) return std::nullopt;
    const auto put = [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
    };
    if (wantsHelp) {
        put("Usage: ");
        put(program);
        put(" [QT-OPTION...]\n");
        put(help.summary);
        put("\n\nOptions:\n"
            "  -h, --help   print this help and exit\n"
            "  --version    print the version and exit\n"
            "The program takes no other options of its own; Qt's options (such as\n"
            "-platform or -style) go to Qt.\n");
        if (help.needsUdevRule) {
            put("\nOpening the Brimel without root needs the udev rule 70-brimel.rules: the\n"
                "package installs it in /usr/lib/udev/rules.d, 'cmake --install' in\n"
                "lib/udev/rules.d under its prefix (outside /usr and /usr/local, copy it\n"
                "into /etc/udev/rules.d). Then run 'sudo udevadm control --reload' and\n"
                "re-plug the Brimel; 'brimelctl doctor' checks the device, its permissions\n"
                "and the rule.\n");
        }
        put("\nFor scripts, automation and machines without a desktop use brimelctl\n"
            "('brimelctl --help').\n");
    } else {
        put(program);
        put(" ");
        put(version);
        put("\n");
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace brimel
