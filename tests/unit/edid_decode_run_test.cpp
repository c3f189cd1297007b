// The edid-decode runner: stand-in decoder scripts for each way a run can end (output and
// exit code, hang, flood, crash, missing program, unreadable input), the installed
// edid-decode on built-in tables and a broken checksum, and the findings parser on fixed text.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "edid/BuiltinEdids.h"
#include "edid/EdidDecode.h"
#include "edid/EdidSummary.h"
#include "edid/EdidText.h"

namespace brimel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

EdidImage tableImage(int item) {
    EdidImage image{};
    const auto table = builtinEdid(item);
    if (table) std::copy(table->begin(), table->end(), image.begin());
    return image;
}

// The end of what edid-decode --check (SHA cb74358c2896) prints for built-in table 8.
const std::string kTable8Tail =
    R"(    DTD 4:  1366x768    59.789541 Hz 683:384   47.712 kHz     85.500000 MHz
                 Hfront   70 Hsync 143 Hback  213 Hpol P
                 Vfront    3 Vsync   3 Vback   24 Vpol P
Checksum: 0x47

----------------

edid-decode SHA: cb74358c2896 2022-03-30 09:29:27

Warnings:

Block 1, CTA-861 Extension Block:
  IT Video Formats are overscanned by default, but normally this should be underscanned.
  Video Capability Data Block: S_PT is equal to S_IT and S_CE, so should be set to 0 instead.

Failures:

Block 0, Base EDID:
  Standard Timings: Use 0x0101 as the invalid Standard Timings code, not 0x0100.
  Standard Timings: Use 0x0101 as the invalid Standard Timings code, not 0x0100.
EDID:
  Base EDID: Some timings are out of range of the Monitor Ranges:
    Horizontal Freq: 15.625 - 67.500 kHz (Monitor: 30.000 - 85.000 kHz)

EDID conformity: FAIL
)";

const std::string kCta = "Block 1, CTA-861 Extension Block";
const std::string kBase = "Block 0, Base EDID";
const std::string kStandardTimings =
    "Standard Timings: Use 0x0101 as the invalid Standard Timings code, not 0x0100.";
const std::vector<EdidFinding> kTable8Warnings = {
    {kCta,
     "IT Video Formats are overscanned by default, but normally this should be underscanned.",
     {}},
    {kCta,
     "Video Capability Data Block: S_PT is equal to S_IT and S_CE, so should be set to 0 instead.",
     {}},
};
const std::vector<EdidFinding> kTable8Failures = {
    {kBase, kStandardTimings, {}},
    {kBase, kStandardTimings, {}},
    {"EDID",
     "Base EDID: Some timings are out of range of the Monitor Ranges:",
     {"Horizontal Freq: 15.625 - 67.500 kHz (Monitor: 30.000 - 85.000 kHz)"}},
};

// True when the test process has no child left, running or unreaped.
bool noChildLeft() {
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch folder holding stand-in decoders.
class EdidDecodeRun : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "brimel-edid-decode-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Writes a shell script `name` with `body` and the given permissions.
    fs::path script(const std::string &name, const std::string &body,
                    fs::perms perms = fs::perms::owner_all) {
        const fs::path path = dir / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, perms);
        return path;
    }

    EdidDecodeOptions standIn(const fs::path &path, std::chrono::milliseconds limit = 10s) {
        EdidDecodeOptions options;
        options.program = path.string();
        options.timeLimit = limit;
        return options;
    }

    fs::path dir;
};

TEST_F(EdidDecodeRun, StandInGetsTheImageAndItsOutputIsRead) {
    const fs::path decoder = script("decoder",
                                    "cat > \"$(dirname \"$0\")/input.bin\"\n"
                                    "echo \"arguments: $*\" >&2\n"
                                    "cat <<'END'\n" +
                                        kTable8Tail +
                                        "END\n"
                                        "exit 254");
    const EdidImage image = tableImage(8);
    const EdidDecodeOptions options = standIn(decoder);

    const EdidDecodeResult r = runEdidDecode(image, options);

    EXPECT_EQ(r.status, EdidDecodeStatus::Finished);
    EXPECT_EQ(r.exitCode, 254);
    EXPECT_EQ(r.output, kTable8Tail);
    EXPECT_EQ(r.errors, "arguments: --check\n");
    EXPECT_EQ(readFile(dir / "input.bin"), std::string(image.begin(), image.end()));
    ASSERT_TRUE(r.conformity.has_value());
    EXPECT_FALSE(r.conformity->passed);
    EXPECT_EQ(r.conformity->warnings, kTable8Warnings);
    EXPECT_EQ(r.conformity->failures, kTable8Failures);
    EXPECT_EQ(edidDecodeProblem(r, options), "");
    EXPECT_TRUE(noChildLeft());
}

TEST_F(EdidDecodeRun, RunsThatEndWithoutAVerdict) {
    struct Case {
        const char *name;
        std::string body;
        std::chrono::milliseconds limit;
        std::size_t outputLimit;
        EdidDecodeStatus status;
        std::string problem;
    };
    const Case cases[] = {
        {"hangs", "sleep 30", 200ms, 1 << 20, EdidDecodeStatus::TimedOut,
         "edid-decode did not finish within 200 ms and was stopped."},
        {"closes-its-output-and-hangs", "exec >&- 2>&-\nsleep 30", 200ms, 1 << 20,
         EdidDecodeStatus::TimedOut, "edid-decode did not finish within 200 ms and was stopped."},
        {"floods", "exec yes EDID", 10s, 65536, EdidDecodeStatus::Truncated,
         "edid-decode wrote more than 65536 bytes and was stopped; its output is cut there."},
        {"crashes", "kill -SEGV $$", 10s, 1 << 20, EdidDecodeStatus::Crashed,
         "edid-decode ended with signal 11."},
        {"refuses", "echo \"EDID of 'stdin' was empty.\"\nexit 255", 10s, 1 << 20,
         EdidDecodeStatus::Finished, "edid-decode gave no verdict (exit code 255)."},
    };
    for (const Case &c : cases) {
        EdidDecodeOptions options = standIn(script(c.name, c.body), c.limit);
        options.outputLimit = c.outputLimit;
        const EdidDecodeResult r = runEdidDecode(tableImage(2), options);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_FALSE(r.conformity.has_value()) << c.name;
        EXPECT_EQ(edidDecodeProblem(r, options), c.problem) << c.name;
        EXPECT_TRUE(noChildLeft()) << c.name;
        if (c.status == EdidDecodeStatus::Truncated) {
            EXPECT_EQ(r.output.size() + r.errors.size(), c.outputLimit);
            EXPECT_EQ(r.output.substr(0, 10), "EDID\nEDID\n");
        }
    }
}

// True when process `pid` has ended (gone, or dead and waiting to be reaped by its parent),
// waiting up to 5 s for it to get there.
bool ends(const std::string &pid) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    do {
        std::ifstream stat("/proc/" + pid + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return true;
        const std::size_t close = line.rfind(')');
        if (close != std::string::npos && line.substr(close + 2, 1) == "Z") return true;
        ::poll(nullptr, 0, 10);
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

TEST_F(EdidDecodeRun, HangingDecoderIsKilledWithItsChildren) {
    const fs::path decoder =
        script("hangs-in-a-child", "sleep 30 &\necho $! > \"$(dirname \"$0\")/sleeper.pid\"\nwait");
    const EdidDecodeResult r = runEdidDecode(tableImage(2), standIn(decoder, 300ms));
    EXPECT_EQ(r.status, EdidDecodeStatus::TimedOut);
    EXPECT_TRUE(noChildLeft());
    std::string sleeper = readFile(dir / "sleeper.pid");
    ASSERT_FALSE(sleeper.empty());
    sleeper.pop_back();  // the line feed
    EXPECT_TRUE(ends(sleeper)) << "the decoder's own child " << sleeper << " still runs";
}

TEST_F(EdidDecodeRun, ChildThatReadsNothingOfALargeInput) {
    // More than a pipe holds: the writes fail with EPIPE once the child has gone, which
    // must neither end this process nor leave a SIGPIPE pending or blocked.
    const std::vector<std::uint8_t> input(4 << 20, 0x00);
    const EdidDecodeResult r = runEdidDecode(input, standIn(script("ignores", "exit 3")));
    EXPECT_EQ(r.status, EdidDecodeStatus::Finished);
    EXPECT_EQ(r.exitCode, 3);
    sigset_t pending, mask;
    ::sigpending(&pending);
    ::pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    EXPECT_EQ(::sigismember(&pending, SIGPIPE), 0);
    EXPECT_EQ(::sigismember(&mask, SIGPIPE), 0);
    EXPECT_TRUE(noChildLeft());
}

TEST_F(EdidDecodeRun, ProgramLookup) {
    script("not-executable", "exit 0", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(dir / "empty");
    fs::create_directory(dir / "bin");
    const fs::path found = dir / "bin" / "edid-decode";
    std::ofstream(found) << "#!/bin/sh\necho found\n";
    fs::permissions(found, fs::perms::owner_all);

    struct Case {
        const char *what;
        std::string program;
        std::optional<std::string> searchPath;
        EdidDecodeStatus status;
        std::string problem;
    };
    const std::string hint(kEdidDecodeInstallHint);
    const Case cases[] = {
        {"search path without it", "edid-decode", (dir / "empty").string(),
         EdidDecodeStatus::NotInstalled, hint},
        {"only a file without execute permission", "not-executable", dir.string(),
         EdidDecodeStatus::NotInstalled, hint},
        {"a path to nothing", (dir / "missing").string(), std::nullopt,
         EdidDecodeStatus::NotInstalled, hint},
        {"a path to a file it may not run", (dir / "not-executable").string(), std::nullopt,
         EdidDecodeStatus::StartFailed, "edid-decode could not be run (start: Permission denied)."},
        {"found in the second directory", "edid-decode",
         (dir / "empty").string() + ":" + (dir / "bin").string(), EdidDecodeStatus::Finished,
         "edid-decode gave no verdict (exit code 0)."},
    };
    for (const Case &c : cases) {
        EdidDecodeOptions options;
        options.program = c.program;
        options.searchPath = c.searchPath;
        const EdidDecodeResult r = runEdidDecode(tableImage(2), options);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(edidDecodeProblem(r, options), c.problem) << c.what;
        EXPECT_EQ(r.output, c.status == EdidDecodeStatus::Finished ? "found\n" : "") << c.what;
    }
    EXPECT_EQ(kEdidDecodeInstallHint,
              "edid-decode is not installed. Install it with: sudo apt install edid-decode");
}

// --- The installed edid-decode ----------------------------------------------------------------

bool edidDecodeInstalled() {
    EdidDecodeOptions probe;
    probe.program = "edid-decode";
    return runEdidDecode({}, probe).status != EdidDecodeStatus::NotInstalled;
}

TEST(EdidDecodeInstalled, BuiltinTableFindings) {
    if (!edidDecodeInstalled()) GTEST_SKIP() << kEdidDecodeInstallHint;
    const EdidDecodeResult r = runEdidDecode(tableImage(8));
    ASSERT_EQ(r.status, EdidDecodeStatus::Finished);
    EXPECT_EQ(r.exitCode, 254);
    EXPECT_EQ(r.output.substr(r.output.size() - kTable8Tail.size()), kTable8Tail);
    ASSERT_TRUE(r.conformity.has_value());
    EXPECT_EQ(r.conformity->version, "cb74358c2896 2022-03-30 09:29:27");
    EXPECT_EQ(r.conformity->warnings, kTable8Warnings);
    EXPECT_EQ(r.conformity->failures, kTable8Failures);
}

TEST(EdidDecodeInstalled, BrokenChecksumIsAFailure) {
    if (!edidDecodeInstalled()) GTEST_SKIP() << kEdidDecodeInstallHint;
    EdidImage image = tableImage(20);
    image[kEdidChecksum0] = 0x23;  // 0x76 is right
    const EdidDecodeResult r = runEdidDecode(image);
    ASSERT_TRUE(r.conformity.has_value());
    EXPECT_FALSE(r.conformity->passed);
    const EdidFinding checksum{kBase, "Invalid checksum 0x23 (should be 0x76).", {}};
    EXPECT_EQ(std::count(r.conformity->failures.begin(), r.conformity->failures.end(), checksum),
              1);
}

// The summary's data blocks, monitor name and TMDS rates as edid-decode decodes them.
TEST(EdidDecodeInstalled, SummaryAgreesOnEveryBuiltinTable) {
    if (!edidDecodeInstalled()) GTEST_SKIP() << kEdidDecodeInstallHint;
    for (int item = kFirstBuiltinEdidItem; item <= kLastBuiltinEdidItem; ++item) {
        const EdidImage image = tableImage(item);
        const EdidSummary s = summarizeEdid(image);
        const std::string out = runEdidDecode(image).output;
        ASSERT_TRUE(s.cta.has_value());
        std::size_t at = out.find("Block 1, CTA-861 Extension Block:");
        ASSERT_NE(at, std::string::npos) << item;
        for (const CtaDataBlock &b : s.cta->dataBlocks) {
            at = out.find("\n  " + b.name, at);
            EXPECT_NE(at, std::string::npos) << item << ": " << b.name;
        }
        EXPECT_NE(out.find("Display Product Name: '" + *s.monitorName + "'"), std::string::npos);
        EXPECT_NE(out.find("Manufacturer: " + *s.manufacturer + "\n"), std::string::npos);
        EXPECT_NE(out.find("Maximum TMDS clock: " + std::to_string(*s.cta->hdmi->maxTmdsClockMhz) +
                           " MHz"),
                  std::string::npos)
            << item;
        if (s.cta->hf) {
            EXPECT_NE(out.find("Maximum TMDS Character Rate: " +
                               std::to_string(*s.cta->hf->maxTmdsCharacterRateMhz) + " MHz"),
                      std::string::npos)
                << item;
        }
    }
}

// --- Parsing fixed text -------------------------------------------------------------------------

TEST(EdidDecodeFindings, ParsedFromFixedText) {
    struct Case {
        const char *what;
        std::string text;
        std::optional<bool> passed;  // nothing: no verdict
        std::size_t warnings;
        std::size_t failures;
    };
    const std::string decodeBefore =
        "Block 0, Base EDID:\n  Warnings:\n  EDID Structure Version & Revision: 1.3\n"
        "----------------\n\n";
    const Case cases[] = {
        {"table 8", kTable8Tail, false, 2, 3},
        {"pass", decodeBefore + "edid-decode SHA: cb74358c2896\n\nEDID conformity: PASS\n", true, 0,
         0},
        {"pass with a warning",
         decodeBefore + "Warnings:\n\nBlock 1, CTA-861 Extension Block:\n  Something.\n\n"
                        "EDID conformity: PASS\r\n",
         true, 1, 0},
        {"refused input", "EDID of 'stdin' was empty.\n", std::nullopt, 0, 0},
        {"empty", "", std::nullopt, 0, 0},
    };
    for (const Case &c : cases) {
        const auto parsed = parseEdidConformity(c.text);
        ASSERT_EQ(parsed.has_value(), c.passed.has_value()) << c.what;
        if (!parsed) continue;
        EXPECT_EQ(parsed->passed, *c.passed) << c.what;
        EXPECT_EQ(parsed->warnings.size(), c.warnings) << c.what;
        EXPECT_EQ(parsed->failures.size(), c.failures) << c.what;
    }
    const auto table8 = parseEdidConformity(kTable8Tail);
    ASSERT_TRUE(table8.has_value());
    EXPECT_EQ(table8->version, "cb74358c2896 2022-03-30 09:29:27");
    EXPECT_EQ(table8->warnings, kTable8Warnings);
    EXPECT_EQ(table8->failures, kTable8Failures);
}

}  // namespace
}  // namespace brimel
