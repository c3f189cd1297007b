// What every brimelctl command shares: the common options, the console, the device
// (found, chosen and opened on first use, closed at the end), the output in words or as
// one JSON object, and the failure that ends the run with its exit code.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/Brimelctl.h"
#include "cli/DeviceBus.h"
#include "session/Session.h"

namespace brimel::cli {

using Json = nlohmann::ordered_json;

// Version of every JSON object brimelctl prints.
inline constexpr int kJsonSchema = 1;

// Ends a command: its exit code, a stable error code for JSON ("busy"), a message for
// people, and for JSON any details.
struct Failure {
    int exit;
    std::string code;
    std::string message;
    Json details = nullptr;
};

struct CommonOptions {
    bool json = false;
    bool demo = false;
    std::string device;  // port path
    double waitSeconds = 0;
};

class Context {
public:
    explicit Context(Environment &env);
    ~Context();
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;

    CommonOptions options;
    Environment &env;

    std::ostream &out() { return env.console.out; }
    std::ostream &err() { return env.console.err; }
    bool json() const { return options.json; }

    // The bus the options choose (created on first use).
    DeviceBus &bus();
    // The chosen Brimel, opened; throws Failure when there is none, several, or it
    // cannot be opened (after --wait for a busy one).
    Session &session();
    const BusDevice &device() const { return *chosen_; }

    // Prints `object` (with the schema number first) as one line of JSON.
    void emit(Json object);
    // A device operation's failure as brimelctl's Failure.
    [[noreturn]] void fail(SessionError error, const std::string &what);
    // Throws the interrupt Failure when SIGINT or SIGTERM arrived.
    void checkInterrupted(const std::string &what);
    bool interrupted() const;
    // Sleeps up to `ms`, waking early when interrupted.
    void pause(std::uint32_t ms);

    // Progress of a transfer on standard error, only on a terminal and not with --json.
    TransferControl transferControl(const std::string &label);
    void endProgress();

    // The device's settings block, waiting out a short busy spell of the device.
    SettingsBlock readSettings();

    // The permission problem of a device, with the node, its group and the fix.
    static std::string permissionMessage(const BusDevice &device);

private:
    std::unique_ptr<DeviceBus> bus_;
    std::unique_ptr<Session> session_;
    std::optional<BusDevice> chosen_;
    bool progressShown_ = false;
};

// Device list entry as JSON and its state word ("usable", "busy", "no-permission", ...).
std::string deviceState(const BusDevice &device);
Json deviceJson(const BusDevice &device);
std::string holdersText(const std::vector<ProcessHolder> &holders);

// Lower-case hex of bytes, and back (nothing for a text that is not an even number of
// hex digits).
std::string hexBytes(std::span<const std::uint8_t> bytes);
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);

}  // namespace brimel::cli
