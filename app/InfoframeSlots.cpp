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

// The activation errors go to standard output, not to the status bar.
void printLine(const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
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

QString storedText(const Record &reply) {
    return QString::fromStdString(storedInfoframeText(reply));
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

    if (session_.sendInfoframeData(InfoframeKind::Hdr, *bytes))
        showStatus(tr("Infoframe values written..."), kNoticeMs);
    else
        showStatus(tr("Error Writing Infoframe values."), kErrorMs);

    // The HDR activation goes out after the pause whether the data frame was taken or not.
    if (!session_.activateInfoframe(InfoframeKind::Hdr, bytes->size()))
        printLine(tr("\nError Populating IF values.\n"));
}

bool MainWindow::sendAVI() {
    const std::optional<std::vector<std::uint8_t>> bytes =
        typedBytes(*ui->AVICustomText, InfoframeKind::Avi);
    if (!bytes) {
        showStatus(tr("Error: min 2, max 17 bytes"), kNoticeMs);
        return false;
    }
    if (!session_.sendInfoframeData(InfoframeKind::Avi, *bytes)) {
        showStatus(tr("Error Writing AVI command."), kErrorMs);
        return false;
    }
    showStatus(tr("AVI values written..."), kNoticeMs);

    if (!session_.activateInfoframe(InfoframeKind::Avi, bytes->size())) {
        printLine(tr("\nError Activating AVI values.\n"));
        return false;
    }
    return true;
}

void MainWindow::showStoredInfoframes(const Result<Record> &hdr, const Result<Record> &avi) {
    // After a failed read the box keeps the form's empty text: zeros or a partial reply
    // shown as an infoframe could too easily be sent back to the device.
    if (hdr) ui->HDRCustomText->setPlainText(storedText(*hdr));
    if (avi) ui->AVICustomText->setPlainText(storedText(*avi));
}
