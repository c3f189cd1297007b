// How the window reports what the device session tells it: link problems in modal
// boxes, failed steps and failed generic operations (register and settings-block
// access) in the status bar.
#include <QCoreApplication>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"

using namespace brimel;

namespace {
constexpr int kNoticeMs = 2000;
constexpr int kErrorMs = 4000;

// The texts of the link's boxes, translated in the link's own context.
const char *linkProblemText(LinkProblem problem) {
    switch (problem) {
        case LinkProblem::NoDevice:
            return QT_TRANSLATE_NOOP("UsbLink", "CONNECT BRIMEL USB AND RESTART GUI");
        case LinkProblem::OpenFailed:
            return QT_TRANSLATE_NOOP("UsbLink", "Usb device open error!");
        case LinkProblem::CloseFailed:
            return QT_TRANSLATE_NOOP("UsbLink", "Unable to close device handle!");
        case LinkProblem::QueueCheckFailed:
            return QT_TRANSLATE_NOOP("UsbLink", "Error Checking RX Queue");
    }
    return "";
}
}  // namespace

void MainWindow::linkProblem(LinkProblem problem) {
    dialogs_.transportWarning(QCoreApplication::translate("UsbLink", linkProblemText(problem)));
}

void MainWindow::stepFailed(const SessionStep &step, SessionError) {
    switch (step.kind) {
        case SessionStep::Kind::RegisterRead:
            showStatus(tr("..."), kNoticeMs);
            break;
        case SessionStep::Kind::EdidDataFrame:
            // A frame that fails is reported and the upload goes on.
            showStatus(tr("Error Writing EDID values."), kNoticeMs);
            break;
    }
}

Result<Record> MainWindow::readRegister(std::uint8_t index, std::uint8_t count) {
    Result<Record> r = session_.readRegister(index, count);
    if (!r) showStatus(tr("..."), kNoticeMs);
    return r;
}

bool MainWindow::writeReported(const Status &write) {
    if (write) return true;
    showStatus(tr("Error Writing values"), kErrorMs);
    return false;
}

bool MainWindow::writeRegister(std::uint8_t reg, std::uint8_t value) {
    return writeReported(session_.writeRegister(reg, value));
}

Result<SettingsBlock> MainWindow::readSettingsBlock() {
    Result<SettingsBlock> r = session_.readSettingsBlock();
    if (!r) showStatus(tr("Error Reading values"), kErrorMs);
    return r;
}

bool MainWindow::writeSettingsBlock(std::span<const std::uint8_t, kSettingsWriteEntries> data) {
    return writeReported(session_.writeSettingsBlock(data));
}
