// Slots that save the EDID text as a 256-byte binary file and load binary or
// hexadecimal text files into it.
#include <QFile>
#include <span>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "edid/EdidFile.h"
#include "ui_CorbanelForm.h"

using namespace brimel;

namespace {
constexpr int kFileMessageMs = 2000;
}  // namespace

void MainWindow::SaveEDIDtoFile() {
    EdidImage image{};
    if (edidTextImage(image) < 0) {
        dialogs_.warning(this, tr("BRIMEL Utility"), tr("Hex Format Error"));
        return;
    }
    const QString name =
        dialogs_.saveFileName(this, tr("Save File"), QString::fromLatin1(kEdidDefaultFileName),
                              tr("Binary file (*.bin)"));
    if (name.isEmpty()) return;

    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        dialogs_.warning(this, tr("BRIMEL Utility"),
                         tr("Cannot write file %1:\n%2.").arg(name, file.errorString()));
        return;
    }
    showStatus(tr("Saving file..."), kFileMessageMs);
    const std::vector<std::uint8_t> bytes = edidFileBytes(image);
    const auto size = static_cast<qint64>(bytes.size());
    // A full disk shows only when the buffered bytes reach the file: flush to know.
    const bool written =
        file.write(reinterpret_cast<const char *>(bytes.data()), size) == size && file.flush();
    if (!written) {
        dialogs_.warning(this, tr("BRIMEL Utility"),
                         tr("Cannot write file %1:\n%2.").arg(name, file.errorString()));
        return;
    }
    file.close();
    showStatus(tr("File saved"), kFileMessageMs);
}

void MainWindow::LoadEDIDfromFile() {
    const QString name = dialogs_.openFileName(this, tr("Open file"), QString(),
                                               tr("Binary Files (*.bin);;All files (*.*)"));
    if (name.isEmpty()) return;

    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        dialogs_.warning(this, tr("BRIMEL Utility"),
                         tr("Cannot read file %1:\n%2.").arg(name, file.errorString()));
        return;
    }
    const QByteArray content = file.read(static_cast<qint64>(kEdidFileReadMax));
    if (file.error() != QFileDevice::NoError) {
        // A file that opens but cannot be read must not replace the text.
        dialogs_.warning(this, tr("BRIMEL Utility"),
                         tr("Cannot read file %1:\n%2.").arg(name, file.errorString()));
        return;
    }
    const EdidFileContent loaded = decodeEdidFile(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(content.constData()),
                                      static_cast<std::size_t>(content.size())));
    if (loaded.binary) {
        ShowEDID(loaded.image);
    } else {
        setEdidPlainText(
            QString::fromLatin1(loaded.text.data(), static_cast<qsizetype>(loaded.text.size())),
            Qt::blue, true);
    }
    showStatus(tr("File loaded"), kFileMessageMs);
}
