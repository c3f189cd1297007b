// The device session: owns the USB link and performs every operation the program
// carries out on the Brimel, as typed calls with typed results. Every front end (the
// windows, the command line) drives the device through this class and sends no frame
// of its own. No user-interface text is made here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "device/Commands.h"
#include "device/Frames.h"
#include "device/UsbLibrary.h"
#include "device/UsbLink.h"
#include "edid/EdidFrames.h"
#include "edid/EdidText.h"
#include "infoframes/InfoframeText.h"
#include "session/Result.h"
#include "settings/MatrixCoding.h"
#include "status/StatusDecode.h"

namespace brimel {

// A register-read reply as the device sent it: echo, status byte, data; exactly as many
// bytes as the read asked for (zeros where nothing arrived).
using Record = std::vector<std::uint8_t>;

// One step of a multi-step operation, as the observer hears of it.
struct SessionStep {
    enum class Kind : std::uint8_t {
        RegisterRead,   // a register read of the status readout; index = register
        EdidDataFrame,  // a data frame of an EDID upload; index = frame number (0..31)
    };
    Kind kind;
    std::uint8_t index;
};

// Hears what happens in the middle of a call, at the moment it happens, so a front end
// can report it in the order it occurred. Both methods may be called during any call.
class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    // A problem of the link (no device found, open or close failed, a receive-queue
    // check failed while waiting for a reply).
    virtual void linkProblem(LinkProblem) {}
    // A step of a multi-step call failed; the call goes on with the next step.
    virtual void stepFailed(const SessionStep &, SessionError) {}
};

// A Brimel bridge seen on the bus. A string that could not be fetched is empty, with
// its status kept (UsbAccessDenied when the user lacks permission).
struct DeviceEntry {
    std::uint32_t index = 0;
    std::string serial;
    int serialStatus = UsbOk;
    std::string portPath;
    std::string description;
};

struct SettingsBlock {
    bool busy = false;  // bit 0 of the status byte: the entries are not to be used
    std::array<std::uint8_t, kSettingsEntries> entries{};
};

struct FirmwareVersion {
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
};

// The signal status and, when the device shows it, the captured infoframes and the
// display name, ready for decodeStatus().
struct StatusReadout {
    Record status;       // register 0x06
    bool shown = false;  // status byte 27 is 8 or 10: the records below were read
    Record spd, hdr, hdmiVsi, forumVsi, audio, avi, name;
    int failedReads = 0;  // reads of the records below that failed
    StatusRecords records() const;
};

enum class EdidSource : std::uint8_t { Device, Display };    // 0xB0 or 0xB5 chunk reads
enum class EdidUploadKind : std::uint8_t { User, Builtin };  // 0xB6 or 0xB0 data frames

// Feedback and control of a transfer of several frames.
struct TransferControl {
    // Before each frame: (frames done, frames in all).
    std::function<void(int done, int total)> progress;
    // Asked before each frame (and before an upload's apply frame): true stops the
    // transfer there. An upload stopped so never sends its apply frame.
    std::function<bool()> cancelRequested;
};

struct UploadReport {
    int failedFrames = 0;  // data frames that failed or were not acknowledged
    bool applied = false;  // the apply frame was sent and acknowledged
};

class Session {
public:
    Session(UsbLibrary &usb, Clock &clock, SessionObserver *observer = nullptr);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    void setObserver(SessionObserver *observer) { observer_ = observer; }

    // --- Finding, opening, closing ---
    // The lowest library index whose serial-number string is exactly "2024".
    Result<std::uint32_t> findBySerial();
    // The device plugged in at `portPath` ("1-2.3"); NotFound when none is there.
    Result<std::uint32_t> findByPort(const std::string &portPath);
    // Every bridge on the bus with its strings; empty when the bus cannot be read.
    std::vector<DeviceEntry> enumerate();
    Status open(std::uint32_t index);
    // Closes the device (nothing when none is open).
    Status close();
    bool isOpen() const { return link_.isOpen(); }
    // True while a transaction runs (a tick arriving inside one must not start another).
    bool busy() const { return link_.usbBusy != 0; }
    Clock &clock() { return link_.clock(); }
    static constexpr const char *kSerial = "2024";

    // --- Registers and the settings block ---
    Result<Record> readRegister(std::uint8_t index, std::uint8_t count);
    Status writeRegister(std::uint8_t reg, std::uint8_t value);
    Result<SettingsBlock> readSettingsBlock();
    Status writeSettingsBlock(std::span<const std::uint8_t, kSettingsWriteEntries> data);
    // The status bracket frame; its reply is not examined.
    void sendBracket(bool open);

    // --- Typed reads ---
    // Major and minor from reply bytes 2 and 3 (what arrived, also after a failure).
    Result<FirmwareVersion> readFirmwareVersion();
    // The stored custom HDR (register 0x23) or AVI (0x24) infoframe reply.
    Result<Record> readStoredInfoframe(InfoframeKind kind);
    // The status record; then, only when it is shown, the bracket, the six infoframe
    // records and the name record, and the bracket again. The result's error is the
    // status read's; each failed read is also told to the observer as it happens.
    Result<StatusReadout> readStatus();

    // --- Colour matrix ---
    Result<MatrixBlock> readMatrix();
    Status writeMatrix(const MatrixBlock &block);
    Status enableMatrix(bool on);

    // --- Custom infoframes ---
    // The data frame alone (0xE5 or 0xE6 with the bytes).
    Status sendInfoframeData(InfoframeKind kind, std::span<const std::uint8_t> bytes);
    // The pause the device needs after a data frame, then the activation frame for a
    // data frame of `count` bytes.
    Status activateInfoframe(InfoframeKind kind, std::size_t count);
    // Both, as the device expects them: an HDR infoframe is activated also after its
    // data frame failed, an AVI infoframe only after its data frame was taken. The
    // first failure is the result.
    Status sendInfoframe(InfoframeKind kind, std::span<const std::uint8_t> bytes);

    // --- EDID ---
    // The 16 chunk reads of the device's or the display's EDID. After a failed chunk
    // nothing more is sent, and the image holds the chunks read so far.
    Result<EdidImage> readEdid(EdidSource source, const TransferControl &control = {});
    // 32 data frames with a pause after each, then the apply frame. A failed data frame
    // is told to the observer and the upload goes on. The result's error is the apply
    // frame's, or Cancelled when the transfer was stopped (no apply frame then).
    Result<UploadReport> uploadEdid(EdidUploadKind kind, const EdidImage &image,
                                    const TransferControl &control = {});
    // The table number register (1 to 25).
    Status selectEdidTable(int table);
    Status setEdidMode(EdidMode mode);

    // --- Resets ---
    // Settings, EDID or both back to the factory's; InvalidArgument (nothing sent) for
    // neither.
    Status factoryReset(bool settings, bool edid);
    Status resetDevice();

private:
    struct Reply {
        ReplyBuffer bytes{};
        std::uint32_t received = 0;
    };
    // One transaction. With `echo`, a reply whose byte 0 the echo does not accept
    // fails with WrongEcho; the bracket and the EDID chunk reads have none.
    Result<Reply> exchange(std::span<const std::uint8_t> frame, std::uint32_t expected,
                           std::optional<Echo> echo);
    Record recordOf(const Reply &reply, std::size_t length) const;
    void stepFailed(SessionStep step, SessionError error);

    SessionObserver *observer_;
    UsbLink link_;
};

}  // namespace brimel
