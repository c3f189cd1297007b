// Slots that send the custom HDR and AVI infoframes, and the start-up text of the
// infoframes stored in the device.
#include <QByteArray>
#include <QCheckBox>
#include <QTextEdit>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/CorbanelForm.h"
#include "infoframes/InfoframeText.h"
#include "ui_CorbanelForm.h"

using namespace brimel;

namespace {
constexpr int kNoticeMs = 2000;
constexpr int kErrorMs = 4000;
// Every infoframe frame is answered with its echo and a status byte.
constexpr std::uint32_t kReplyLength = 2;

// The activation errors go to standard output, not to the status bar.
void printLine(const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

// One exchange; true when the reply came and echoes `code`.
bool exchange(UsbLink &link, const Frame &frame, std::uint8_t code) {
    ReplyBuffer reply{};
    return link.UsbTransact(reply, frame.data(), kReplyLength,
                            static_cast<std::uint32_t>(frame.size())) &&
           reply[0] == code;
}

// The bytes typed in a custom infoframe box; nothing when the text is too short or too
// long. One 8-bit character per character typed (what is not Latin-1 becomes '?'), so
// the limits count characters as the user sees them.
std::optional<std::vector<std::uint8_t>> typedBytes(const QTextEdit &box, InfoframeKind kind) {
    const QByteArray typed = box.toPlainText().toLatin1();
    const std::optional<std::string> working = prepareInfoframeText(
        std::string_view(typed.constData(), static_cast<std::size_t>(typed.size())), kind);
    if (!working) return std::nullopt;
    return parseInfoframeText(*working);
}

QString storedText(const ReplyBuffer &reply, std::uint8_t count) {
    return QString::fromStdString(
        storedInfoframeText(std::span<const std::uint8_t>(reply.data(), count)));
}
}  // namespace

void MainWindow::WriteIF() {
    std::optional<std::vector<std::uint8_t>> bytes =
        typedBytes(*ui->HDRCustomText, InfoframeKind::Hdr);
    if (!bytes) {
        showStatus(tr("Error: min 2, max 31 bytes"), kNoticeMs);
        return;
    }
    // The checksum goes into the frame only; the box keeps the text as typed.
    if (ui->cbHdrCRC->isChecked()) applyHdrChecksum(*bytes);

    if (exchange(link_, infoframeDataFrame(InfoframeKind::Hdr, *bytes), cmd::HdrInfoframe))
        showStatus(tr("Infoframe values written..."), kNoticeMs);
    else
        showStatus(tr("Error Writing Infoframe values."), kErrorMs);

    // The device takes the activation only after a pause, and gets it either way.
    link_.clock().sleepMs(kInfoframeActivationDelayMs);
    if (!exchange(link_, infoframeActivationFrame(InfoframeKind::Hdr, bytes->size()),
                  cmd::InfoframeActivate))
        printLine(tr("\nError Populating IF values.\n"));
}

bool MainWindow::sendAVI() {
    const std::optional<std::vector<std::uint8_t>> bytes =
        typedBytes(*ui->AVICustomText, InfoframeKind::Avi);
    if (!bytes) {
        showStatus(tr("Error: min 2, max 17 bytes"), kNoticeMs);
        return false;
    }
    if (!exchange(link_, infoframeDataFrame(InfoframeKind::Avi, *bytes), cmd::AviInfoframe)) {
        showStatus(tr("Error Writing AVI command."), kErrorMs);
        return false;
    }
    showStatus(tr("AVI values written..."), kNoticeMs);

    link_.clock().sleepMs(kInfoframeActivationDelayMs);
    if (!exchange(link_, infoframeActivationFrame(InfoframeKind::Avi, bytes->size()),
                  cmd::InfoframeActivate)) {
        printLine(tr("\nError Activating AVI values.\n"));
        return false;
    }
    return true;
}

void MainWindow::showStoredInfoframes(const ReplyBuffer &hdr, bool hdrRead, const ReplyBuffer &avi,
                                      bool aviRead) {
    // After a failed read the box keeps the form's empty text: zeros or a partial reply
    // shown as an infoframe could too easily be sent back to the device.
    if (hdrRead) ui->HDRCustomText->setPlainText(storedText(hdr, readlen::CustomHdr));
    if (aviRead) ui->AVICustomText->setPlainText(storedText(avi, readlen::CustomAvi));
}
