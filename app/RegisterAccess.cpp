// The generic device operations: register read and write, settings-block read and
// write, and the status bracket. Failures go to the status bar.
#include "app/CorbanelForm.h"
#include "device/Frames.h"

using namespace brimel;

namespace {
constexpr int kNoticeMs = 2000;
constexpr int kErrorMs = 4000;

// One exchange that counts only when the reply echoes `code`: a reply with another
// code is no answer to this frame and fails like no reply.
bool exchange(UsbLink &link, const Frame &frame, ReplyBuffer &reply, std::uint32_t expected,
              std::uint8_t code) {
    return link.UsbTransact(reply, frame.data(), expected, static_cast<std::uint32_t>(frame.size())) &&
           reply[0] == code;
}
}  // namespace

bool MainWindow::ReadRegister(std::uint8_t index, ReplyBuffer &reply, std::uint8_t count) {
    if (exchange(link_, registerReadFrame(index, count), reply, count, cmd::Register)) return true;
    showStatus(tr("..."), kNoticeMs);
    return false;
}

bool MainWindow::WriteRegister(std::uint8_t reg, std::uint8_t value) {
    ReplyBuffer reply{};
    if (exchange(link_, registerWriteFrame(reg, value), reply, 2, cmd::Register)) return true;
    showStatus(tr("Error Writing values"), kErrorMs);
    return false;
}

bool MainWindow::ReadSettingsBlock(ReplyBuffer &reply, std::uint8_t count) {
    if (exchange(link_, settingsReadFrame(count), reply, count, cmd::SettingsRead)) return true;
    showStatus(tr("Error Reading values"), kErrorMs);
    return false;
}

bool MainWindow::WriteSettingsBlock(const std::array<std::uint8_t, kSettingsWriteEntries> &data) {
    ReplyBuffer reply{};
    if (exchange(link_, settingsWriteFrame(data), reply, 2, cmd::SettingsWrite)) return true;
    showStatus(tr("Error Writing values"), kErrorMs);
    return false;
}

bool MainWindow::SendBracket(bool open) {
    const Frame frame = bracketFrame(open);
    ReplyBuffer reply{};
    link_.UsbTransact(reply, frame.data(), 2, static_cast<std::uint32_t>(frame.size()));
    return true;
}
