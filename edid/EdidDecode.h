// Runs Debian's edid-decode on an EDID image as a child process (no shell, bounded in time
// and output, always reaped) and reads the conformity findings from what it prints. Used by
// the EDID details window on a worker thread and by command-line front ends alike.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brimel {

// Shown, word for word, wherever edid-decode is needed but not found.
inline constexpr std::string_view kEdidDecodeInstallHint =
    "edid-decode is not installed. Install it with: sudo apt install edid-decode";

struct EdidDecodeOptions {
    // A name looked up in the search path, or a path (holding a '/') used as it is.
    std::string program = "edid-decode";
    // The directories to look in, ':'-separated; the process's PATH when not given.
    std::optional<std::string> searchPath;
    // The child is killed (SIGKILL, its whole process group) when it has not ended by then.
    std::chrono::milliseconds timeLimit{2000};
    // Bytes of standard output and standard error together; the child is killed past it.
    std::size_t outputLimit = std::size_t{1} << 20;
};

// The arguments after the program name: the full decode followed by the conformity findings.
inline constexpr std::string_view kEdidDecodeArgument = "--check";

enum class EdidDecodeStatus {
    Finished,      // exited by itself, with any exit code
    NotInstalled,  // the program is not in the search path (or the path names no file)
    StartFailed,   // found, but a pipe or the start failed (see `error`)
    TimedOut,      // killed at the time limit
    Truncated,     // killed when its output reached the limit; the output is cut there
    Crashed,       // ended by a signal that the runner did not send
};

// One warning or failure: the finding line and the lines indented below it.
struct EdidFinding {
    std::string block;  // the heading it is listed under, e.g. "Block 0, Base EDID" or "EDID"
    std::string text;   // e.g. "Invalid checksum 0x23 (should be 0x76)."
    std::vector<std::string> details;
    bool operator==(const EdidFinding &) const = default;
};

struct EdidConformity {
    bool passed = false;  // "EDID conformity: PASS"
    std::string version;  // after "edid-decode SHA: ", when printed
    std::vector<EdidFinding> warnings;
    std::vector<EdidFinding> failures;
};

struct EdidDecodeResult {
    EdidDecodeStatus status = EdidDecodeStatus::StartFailed;
    int exitCode = -1;                         // Finished only
    int signal = 0;                            // Crashed only
    std::string error;                         // StartFailed only: what failed and why
    std::string output;                        // standard output
    std::string errors;                        // standard error
    std::optional<EdidConformity> conformity;  // when the output ends with a verdict
};

// Starts `options.program` with kEdidDecodeArgument, writes `image` to its standard input and
// closes it, and collects standard output and error until both end, then reaps the child.
// Blocks the calling thread for at most about the time limit. The child starts with default
// signal handling and an empty signal mask in a process group of its own; every descriptor
// the runner opens is close-on-exec, and a child that stops reading its input does not raise
// SIGPIPE in the caller.
EdidDecodeResult runEdidDecode(std::span<const std::uint8_t> image,
                               const EdidDecodeOptions &options = {});

// The findings edid-decode --check lists at the end of its output:
//
//   edid-decode SHA: cb74358c2896 2022-03-30 09:29:27
//
//   Warnings:
//
//   Block 1, CTA-861 Extension Block:
//     IT Video Formats are overscanned by default, but normally this should be underscanned.
//
//   Failures:
//
//   EDID:
//     Base EDID: Some timings are out of range of the Monitor Ranges:
//       Horizontal Freq: 15.625 - 67.500 kHz (Monitor: 30.000 - 85.000 kHz)
//
//   EDID conformity: FAIL
//
// A heading (no indent, ending in ':') names the block; each line indented by two blanks is
// one finding; lines indented further belong to the finding above. The findings are read
// between the last "----------------" separator and the last "EDID conformity:" line; nothing
// when there is no such line (edid-decode refused the input, for example).
std::optional<EdidConformity> parseEdidConformity(std::string_view output);

// One sentence about a run that gave no verdict (the install hint when not installed), or
// empty when the run finished with one.
std::string edidDecodeProblem(const EdidDecodeResult &result, const EdidDecodeOptions &options);

}  // namespace brimel
