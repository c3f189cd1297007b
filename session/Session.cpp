// Every operation on the device, built on the link's transaction: the frames, the reply
// checks and the order of the exchanges, with typed results.
#include "session/Session.h"

#include <algorithm>
#include <array>

#include "settings/RegisterMap.h"

namespace brimel {

namespace {

SessionError errorOf(TransactFailure failure) {
    switch (failure) {
        case TransactFailure::NotOpen:
            return SessionError::NotOpen;
        case TransactFailure::NoReply:
            return SessionError::NoReply;
        case TransactFailure::ShortReply:
            return SessionError::ShortReply;
        case TransactFailure::None:
        case TransactFailure::WriteFailed:
        case TransactFailure::QueueCheckFailed:
        case TransactFailure::ReadFailed:
            break;
    }
    return SessionError::IoError;
}

SessionError openErrorOf(int status) {
    switch (status) {
        case UsbAccessDenied:
            return SessionError::AccessDenied;
        case UsbBusy:
            return SessionError::DeviceBusy;
        case UsbDeviceNotFound:
            return SessionError::NotFound;
        default:
            return SessionError::OpenFailed;
    }
}

std::string deviceString(UsbLibrary &usb, std::uint32_t index, DeviceStringKind kind, int &status) {
    std::array<char, kDeviceStringSize> buffer{};
    status = usb.getDeviceString(index, buffer.data(), kind);
    if (status != UsbOk) return {};
    buffer.back() = '\0';  // never trust the backend to terminate it
    return buffer.data();
}

}  // namespace

std::string_view errorCode(SessionError error) {
    switch (error) {
        case SessionError::NoDevice:
            return "no-device";
        case SessionError::NotFound:
            return "not-found";
        case SessionError::AccessDenied:
            return "permission-denied";
        case SessionError::DeviceBusy:
            return "busy";
        case SessionError::OpenFailed:
            return "open-failed";
        case SessionError::NotOpen:
            return "not-open";
        case SessionError::IoError:
            return "io-error";
        case SessionError::NoReply:
            return "no-reply";
        case SessionError::ShortReply:
            return "short-reply";
        case SessionError::WrongEcho:
            return "wrong-echo";
        case SessionError::Cancelled:
            return "cancelled";
        case SessionError::InvalidArgument:
            return "invalid-argument";
    }
    return "unknown";
}

StatusRecords StatusReadout::records() const {
    return {status, spd, hdr, hdmiVsi, forumVsi, audio, avi, name};
}

Session::Session(UsbLibrary &usb, Clock &clock, SessionObserver *observer)
    : observer_(observer), link_(usb, clock, [this](LinkProblem problem) {
          if (observer_) observer_->linkProblem(problem);
      }) {}

Session::~Session() = default;

// --- Finding, opening, closing ---

Result<std::uint32_t> Session::findBySerial() {
    std::uint32_t index = 0;
    if (!link_.FindUsbDevice(link_.deviceSerial, index)) return {0, SessionError::NoDevice};
    link_.deviceIndex = index;
    return index;
}

std::vector<DeviceEntry> Session::enumerate() {
    std::vector<DeviceEntry> out;
    UsbLibrary &usb = link_.library();
    std::uint32_t count = 0;
    if (usb.getNumDevices(count) != UsbOk) return out;
    for (std::uint32_t i = 0; i < count; ++i) {
        DeviceEntry e;
        e.index = i;
        int status = UsbOk;
        e.portPath = deviceString(usb, i, DeviceStringKind::PortPath, status);
        e.serial = deviceString(usb, i, DeviceStringKind::SerialNumber, e.serialStatus);
        if (e.serialStatus == UsbOk)
            e.description = deviceString(usb, i, DeviceStringKind::Description, status);
        out.push_back(std::move(e));
    }
    return out;
}

Result<std::uint32_t> Session::findByPort(const std::string &portPath) {
    for (const DeviceEntry &e : enumerate()) {
        if (!e.portPath.empty() && e.portPath == portPath) return e.index;
    }
    return {0, SessionError::NotFound};
}

Status Session::open(std::uint32_t index) {
    link_.deviceIndex = index;
    if (link_.OpenUsbDevice(index)) return {};
    return openErrorOf(link_.lastOpenStatus());
}

Status Session::close() {
    if (!link_.isOpen()) return {};
    // A failed close is told to the observer; the handle is given up either way.
    link_.CloseUsbDevice();
    return {};
}

// --- The one exchange ---

Result<Session::Reply> Session::exchange(std::span<const std::uint8_t> frame,
                                         std::uint32_t expected, std::optional<Echo> echo) {
    Reply reply;
    const bool ok = link_.UsbTransact(reply.bytes, frame, expected);
    reply.received = link_.lastReceived();
    if (!ok) return {reply, errorOf(link_.lastFailure())};
    if (echo && !echo->accepts(reply.bytes[0])) return {reply, SessionError::WrongEcho};
    return reply;
}

Record Session::recordOf(const Reply &reply, std::size_t length) const {
    const std::size_t n = std::min(length, reply.bytes.size());
    return Record(reply.bytes.begin(), reply.bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

void Session::stepFailed(SessionStep step, SessionError error) {
    if (observer_) observer_->stepFailed(step, error);
}

// --- Registers and the settings block ---

Result<Record> Session::readRegister(std::uint8_t index, std::uint8_t count) {
    const auto r = exchange(registerReadFrame(index, count), count, Echo::of(cmd::Register));
    return {recordOf(r.value(), count), r.failure()};
}

Status Session::writeRegister(std::uint8_t reg, std::uint8_t value) {
    return exchange(registerWriteFrame(reg, value), readlen::Write, Echo::of(cmd::Register))
        .failure();
}

Result<SettingsBlock> Session::readSettingsBlock() {
    const auto r = exchange(settingsReadFrame(readlen::SettingsBlock), readlen::SettingsBlock,
                            Echo::of(cmd::SettingsRead));
    const ReplyBuffer &reply = r.value().bytes;
    SettingsBlock block;
    // The busy bit counts whatever else arrived with it.
    block.busy = (reply[1] & 0x01) != 0;
    std::copy_n(reply.begin() + 2, kSettingsEntries, block.entries.begin());
    return {block, r.failure()};
}

Status Session::writeSettingsBlock(std::span<const std::uint8_t, kSettingsWriteEntries> data) {
    return exchange(settingsWriteFrame(data), readlen::Write, Echo::of(cmd::SettingsWrite))
        .failure();
}

void Session::sendBracket(bool open) {
    (void)exchange(bracketFrame(open), readlen::Write, std::nullopt);
}

// --- Typed reads ---

Result<FirmwareVersion> Session::readFirmwareVersion() {
    const auto r = readRegister(regread::Firmware, readlen::Firmware);
    return {FirmwareVersion{r.value()[2], r.value()[3]}, r.failure()};
}

Result<Record> Session::readStoredInfoframe(InfoframeKind kind) {
    return kind == InfoframeKind::Hdr ? readRegister(regread::CustomHdr, readlen::CustomHdr)
                                      : readRegister(regread::CustomAvi, readlen::CustomAvi);
}

Result<StatusReadout> Session::readStatus() {
    StatusReadout out;
    const auto read = [this](std::uint8_t index, std::uint8_t count, Record &into) {
        auto r = readRegister(index, count);
        into = std::move(r.value());
        if (!r) stepFailed({SessionStep::Kind::RegisterRead, index}, r.error());
        return r.failure();
    };
    const std::optional<SessionError> statusError =
        read(regread::SignalStatus, readlen::SignalStatus, out.status);
    // Byte 27 decides, also for a reply that failed its echo check.
    out.shown = statusShown(out.status);
    if (!out.shown) return {std::move(out), statusError};

    struct Source {
        std::uint8_t index;
        std::uint8_t count;
        Record StatusReadout::*into;
    };
    static constexpr Source kSources[] = {
        {regread::SpdInfoframe, readlen::Infoframe, &StatusReadout::spd},
        {regread::HdrInfoframe, readlen::Infoframe, &StatusReadout::hdr},
        {regread::VendorInfoframe1, readlen::Infoframe, &StatusReadout::hdmiVsi},
        {regread::VendorInfoframe2, readlen::Infoframe, &StatusReadout::forumVsi},
        {regread::AudioInfoframe, readlen::Infoframe, &StatusReadout::audio},
        {regread::AviInfoframe, readlen::Infoframe, &StatusReadout::avi},
        {regread::DisplayName, readlen::DisplayName, &StatusReadout::name},
    };
    sendBracket(true);
    for (const Source &source : kSources) {
        if (read(source.index, source.count, out.*(source.into))) ++out.failedReads;
    }
    sendBracket(false);
    return {std::move(out), statusError};
}

// --- Colour matrix ---

Result<MatrixBlock> Session::readMatrix() {
    const auto r = readRegister(regread::Matrix, readlen::Matrix);
    static_assert(2 + kMatrixBlockSize <= readlen::Matrix);
    MatrixBlock block{};
    std::copy_n(r.value().begin() + 2, kMatrixBlockSize, block.begin());
    return {block, r.failure()};
}

Status Session::writeMatrix(const MatrixBlock &block) {
    return exchange(matrixWriteFrame(block), readlen::Write, Echo::of(cmd::Matrix)).failure();
}

Status Session::enableMatrix(bool on) {
    return writeRegister(reg::MatrixEnable, on ? 1 : 0);
}

// --- Custom infoframes ---

Status Session::sendInfoframeData(InfoframeKind kind, std::span<const std::uint8_t> bytes) {
    const std::uint8_t code = kind == InfoframeKind::Hdr ? cmd::HdrInfoframe : cmd::AviInfoframe;
    return exchange(infoframeDataFrame(kind, bytes), readlen::Write, Echo::of(code)).failure();
}

Status Session::activateInfoframe(InfoframeKind kind, std::size_t count) {
    // The device takes the activation only after a pause.
    link_.clock().sleepMs(kInfoframeActivationDelayMs);
    return exchange(infoframeActivationFrame(kind, count), readlen::Write,
                    Echo::of(cmd::InfoframeActivate))
        .failure();
}

Status Session::sendInfoframe(InfoframeKind kind, std::span<const std::uint8_t> bytes) {
    const Status data = sendInfoframeData(kind, bytes);
    if (!data && kind == InfoframeKind::Avi) return data;
    const Status activation = activateInfoframe(kind, std::min(bytes.size(), kInfoframeParseMax));
    return data ? activation : data;
}

// --- EDID ---

Result<EdidImage> Session::readEdid(EdidSource source, const TransferControl &control) {
    const std::uint8_t command = source == EdidSource::Device ? cmd::EdidDevice : cmd::EdidDisplay;
    EdidImage image{};
    for (std::size_t chunk = 0; chunk < kEdidChunkCount; ++chunk) {
        if (control.cancelRequested && control.cancelRequested())
            return {image, SessionError::Cancelled};
        if (control.progress)
            control.progress(static_cast<int>(chunk), static_cast<int>(kEdidChunkCount));
        // The reply is the data alone, with no echo in front.
        const auto r = exchange(edidChunkReadFrame(command, chunk), kEdidChunkSize, std::nullopt);
        if (!r) return {image, r.failure()};
        std::copy_n(r.value().bytes.begin(), kEdidChunkSize,
                    image.begin() + static_cast<std::ptrdiff_t>(chunk * kEdidChunkSize));
    }
    return image;
}

Result<UploadReport> Session::uploadEdid(EdidUploadKind kind, const EdidImage &image,
                                         const TransferControl &control) {
    const std::uint8_t command =
        kind == EdidUploadKind::User ? cmd::EdidUserUpload : cmd::EdidDevice;
    const auto cancelled = [&] { return control.cancelRequested && control.cancelRequested(); };
    UploadReport report;
    for (std::size_t i = 0; i < kEdidUploadFrames; ++i) {
        if (cancelled()) return {report, SessionError::Cancelled};
        if (control.progress)
            control.progress(static_cast<int>(i), static_cast<int>(kEdidUploadFrames));
        const auto r =
            exchange(edidUploadFrame(command, image, i), readlen::Write, edidUploadEcho(command));
        // A frame that fails is told and the upload goes on; nothing is repeated.
        if (!r) {
            ++report.failedFrames;
            stepFailed({SessionStep::Kind::EdidDataFrame, static_cast<std::uint8_t>(i)}, r.error());
        }
        link_.clock().sleepMs(kEdidUploadPauseMs);  // the device needs it, also after the last
    }
    if (cancelled()) return {report, SessionError::Cancelled};
    const auto applied =
        exchange(edidApplyFrame(), readlen::Write, Echo::of(cmd::EdidUploadEnd)).failure();
    report.applied = !applied;
    return {report, applied};
}

Status Session::selectEdidTable(int table) {
    if (table < 1 || table > kEdidTableCount) return SessionError::InvalidArgument;
    return writeRegister(reg::EdidTable, static_cast<std::uint8_t>(table));
}

Status Session::setEdidMode(EdidMode mode) {
    return writeRegister(reg::EdidMode, static_cast<std::uint8_t>(mode));
}

// --- Resets ---

Status Session::factoryReset(bool settings, bool edid) {
    // Values of the factory reset register.
    constexpr std::uint8_t kSettingsAndEdid = 3;
    constexpr std::uint8_t kSettingsOnly = 2;
    constexpr std::uint8_t kEdidOnly = 1;
    if (settings && edid) return writeRegister(reg::FactoryReset, kSettingsAndEdid);
    if (settings) return writeRegister(reg::FactoryReset, kSettingsOnly);
    if (edid) return writeRegister(reg::FactoryReset, kEdidOnly);
    return SessionError::InvalidArgument;
}

Status Session::resetDevice() {
    return writeRegister(reg::DeviceReset, 1);
}

}  // namespace brimel
