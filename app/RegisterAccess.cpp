// The generic device operations: register read and write, settings-block read and
// write, and the status bracket. Failures go to the status bar.
#include "app/CorbanelForm.h"
#include "device/Frames.h"

using namespace brimel;

namespace {
constexpr int kNoticeMs = 2000;
constexpr int kErrorMs = 4000;
}  // namespace

bool MainWindow::ReadRegister(std::uint8_t index, ReplyBuffer &reply, std::uint8_t count) {
    const Frame frame = registerReadFrame(index, count);
    if (link_.UsbTransact(reply, frame.data(), count, static_cast<std::uint32_t>(frame.size())) &&
        reply[0] == cmd::Register)
        return true;
    showStatus(tr("..."), kNoticeMs);
    return false;
}

bool MainWindow::WriteRegister(std::uint8_t reg, std::uint8_t value) {
    const Frame frame = registerWriteFrame(reg, value);
    ReplyBuffer reply{};
    // A reply with another code is no acknowledgement: it fails like no reply.
    const bool ok = link_.UsbTransact(reply, frame.data(), 2, static_cast<std::uint32_t>(frame.size())) &&
                    reply[0] == cmd::Register;
    if (!ok) showStatus(tr("Error Writing values"), kErrorMs);
    return ok;
}

bool MainWindow::ReadSettingsBlock(ReplyBuffer &reply, std::uint8_t count) {
    const Frame frame = settingsReadFrame(count);
    if (link_.UsbTransact(reply, frame.data(), count, static_cast<std::uint32_t>(frame.size())) &&
        reply[0] == cmd::SettingsRead)
        return true;
    showStatus(tr("Error Reading values"), kErrorMs);
    return false;
}

bool MainWindow::WriteSettingsBlock(const std::array<std::uint8_t, kSettingsWriteEntries> &data) {
    const Frame frame = settingsWriteFrame(data);
    ReplyBuffer reply{};
    const bool ok = link_.UsbTransact(reply, frame.data(), 2, static_cast<std::uint32_t>(frame.size())) &&
                    reply[0] == cmd::SettingsWrite;
    if (!ok) showStatus(tr("Error Writing values"), kErrorMs);
    return ok;
}

bool MainWindow::SendBracket(bool open) {
    const Frame frame = bracketFrame(open);
    ReplyBuffer reply{};
    link_.UsbTransact(reply, frame.data(), 2, static_cast<std::uint32_t>(frame.size()));
    return true;
}
