// Slots that move EDIDs between the text, the device and the display: reads, uploads,
// the EDID mode, the built-in tables, the checksum repair and the transfer progress bar.
#include <QProgressBar>
#include <QStatusBar>
#include <QTextCharFormat>
#include <QTextCursor>
#include <algorithm>
#include <string>
#include <string_view>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "app/EdidDetailsLink.h"
#include "edid/BuiltinEdids.h"
#include "edid/EdidFrames.h"
#include "edid/EdidText.h"
#include "settings/RegisterMap.h"
#include "ui_CorbanelForm.h"

using namespace brimel;

namespace {

constexpr int kEdidMessageMs = 2000;
// The reads report their progress against 255, the uploads against the frame count.
constexpr int kReadProgressMax = 255;

}  // namespace

int MainWindow::edidTextImage(EdidImage &image) const {
    const QByteArray text = ui->EDIDtext->toPlainText().toUpper().toLatin1();
    return EdidTextToBytes(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())), image);
}

void MainWindow::ShowEDID(const EdidImage &image) {
    QTextEdit *edit = ui->EDIDtext;
    edit->clear();
    QTextCursor cursor = edit->textCursor();
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::Start);

    QTextCharFormat valueFormat;
    valueFormat.setForeground(QBrush(Qt::black, Qt::SolidPattern));
    QTextCharFormat lineEndFormat = valueFormat;

    const std::string text = EdidBytesToText(image);
    const std::string_view all(text);
    for (std::size_t first = 0; first < kEdidSize; first += kEdidValuesPerLine) {
        const std::size_t last = first + kEdidValuesPerLine - 1;
        const std::size_t lineStart = edidTextPosition(first);
        const std::size_t lastStart = edidTextPosition(last);
        // The first 15 values with their blanks, then the 16th alone, bold for the
        // checksum bytes, then the line feed.
        const std::string_view values = all.substr(lineStart, lastStart - lineStart);
        const std::string_view lastValue = all.substr(lastStart, 2);
        cursor.insertText(QString::fromLatin1(values.data(), static_cast<qsizetype>(values.size())),
                          valueFormat);
        const bool checksum = last == kEdidChecksum0 || last == kEdidChecksum1;
        lineEndFormat.setFontWeight(checksum ? QFont::Bold : QFont::Normal);
        cursor.insertText(
            QString::fromLatin1(lastValue.data(), static_cast<qsizetype>(lastValue.size())),
            lineEndFormat);
        cursor.insertText(QStringLiteral("\n"));
    }
    edidDetails_->managerTextReplaced();
}

void MainWindow::setEdidPlainText(const QString &text, Qt::GlobalColor color, bool bold) {
    QTextCharFormat format;
    format.setFontPointSize(8);
    format.setForeground(QBrush(QColor(color), Qt::SolidPattern));
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    ui->EDIDtext->setCurrentCharFormat(format);
    // A plain text takes the current character format.
    ui->EDIDtext->setPlainText(text);
    edidDetails_->managerTextReplaced();
}

void MainWindow::NewProgressBar() {
    // One bar serves every transfer; a new one per transfer would pile up hidden widgets.
    if (!progress_) {
        progress_ = new QProgressBar(statusBar());  // owned by the status bar
        progress_->setTextVisible(false);
        statusBar()->addPermanentWidget(progress_, 0);
    }
    progress_->hide();
    progress_->reset();
}

void MainWindow::on_ProgressChange(int value, int maximum) {
    if (!progress_) return;  // no transfer has run yet
    if (value <= 0 || maximum <= 0) {
        progress_->hide();
        return;
    }
    progress_->show();
    progress_->setRange(0, maximum);
    progress_->setValue(value);
}

TransferControl MainWindow::transferProgress(bool read) {
    return {[this, read](int done, int total) {
                // A read shows its bytes against 255, an upload its frames.
                if (read)
                    on_ProgressChange(done * static_cast<int>(kEdidChunkSize), kReadProgressMax);
                else
                    on_ProgressChange(done, total);
            },
            {}};
}

bool MainWindow::ReadEdidChunks(EdidSource source) {
    NewProgressBar();
    const auto image = session_.readEdid(source, transferProgress(true));
    on_ProgressChange(0, 0);
    // The text is only replaced by a complete read.
    if (!image) return false;
    if (source == EdidSource::Display) edidDetails_->displayEdidRead(*image);
    showStatus(tr("EDID values read."), kEdidMessageMs);
    const std::string text = EdidBytesToText(*image);
    setEdidPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                     Qt::black, false);
    return true;
}

void MainWindow::ReadEDID() {
    ReadEdidChunks(EdidSource::Device);
}

bool MainWindow::ReadTvEDID() {
    return ReadEdidChunks(EdidSource::Display);
}

bool MainWindow::UploadEDID() {
    EdidImage image{};
    if (edidTextImage(image) < 0) {
        dialogs_.warning(this, tr("BRIMEL Utility"), tr("Hex Format Error"));
        return false;
    }
    if (!edidChecksumsOk(image) &&
        !dialogs_.question(nullptr, tr("BRIMEL Utility"), tr("The EDID Checksum is not correct."),
                           tr("Write anyway?"))) {
        return false;
    }
    NewProgressBar();
    // Failed data frames show as they happen (stepFailed).
    const auto upload = session_.uploadEdid(EdidUploadKind::User, image, transferProgress(false));
    const bool applied = upload.ok();
    showStatus(applied ? tr("EDID values written...") : tr("Error Populating EDID values."),
               kEdidMessageMs);
    on_ProgressChange(0, 0);
    // The user's EDID is table 1 (WriteEDID lets the upload run only with item 1
    // selected); a read-back during the question box may have moved the list since.
    writeRegister(reg::EdidTable, 1);
    edidDetails_->managerTextReplaced();
    return applied;
}

void MainWindow::WriteEDID() {
    const bool sink = ui->automixEDID->isChecked();
    const bool fixed = ui->fixedEDID->isChecked();
    const auto item = static_cast<std::uint8_t>(ui->cmBEdid->currentIndex());
    if (sink || fixed || item != 0) {
        dialogs_.warning(this, tr("BRIMEL Utility"),
                         tr("\nSelect CUSTOM EDID TABLE mode to upload an EDID table\n"));
        return;
    }
    UploadEDID();
}

void MainWindow::CalculateChkSum() {
    EdidImage image{};
    if (edidTextImage(image) < 0) {
        dialogs_.warning(this, tr("BRIMEL Utility"), tr("Hex Format Error"));
        return;
    }
    if (!edidChecksumsOk(image)) {
        if (!dialogs_.question(nullptr, QString(), tr("The EDID Checksum is not correct."),
                               tr("Do you want to calculate a new checksum?"))) {
            return;  // the text stays exactly as the user left it
        }
        repairEdidChecksums(image);
    }
    ShowEDID(image);
}

bool MainWindow::UploadEdidTable(const EdidImage &table) {
    NewProgressBar();
    const auto upload =
        session_.uploadEdid(EdidUploadKind::Builtin, table, transferProgress(false));
    const bool applied = upload.ok();
    showStatus(applied ? tr("EDID custom written...") : tr("Error reseting EDID values."),
               kEdidMessageMs);
    on_ProgressChange(0, 0);
    return applied;
}

void MainWindow::changeCustomEdid() {
    if (!startupComplete_) return;
    const int index = ui->cmBEdid->currentIndex();
    // No current item (an empty list, or a table number the list does not hold).
    if (index < 0 || index >= kEdidTableCount) return;
    const int item = index + 1;
    if (const auto table = builtinEdid(item)) {
        EdidImage image{};
        std::copy(table->begin(), table->end(), image.begin());
        UploadEdidTable(image);
    }
    writeRegister(reg::EdidTable, static_cast<std::uint8_t>(item));
}

void MainWindow::SetEDID_Mode() {
    EdidMode mode = EdidMode::Custom;
    if (ui->automixEDID->isChecked()) {
        mode = EdidMode::Sink;
    } else if (ui->fixedEDID->isChecked()) {
        mode = EdidMode::Fixed;
    } else if (!ui->customEDID->isChecked()) {
        showStatus(tr("EDID Writing Busy"), kEdidMessageMs);
        return;
    }
    const auto value = static_cast<std::uint8_t>(mode);
    writeReported(session_.setEdidMode(mode));
    // The mirror takes the new mode whatever the outcome of the write.
    if (const Setting *info = findRegister(reg::EdidMode); info && info->mirror) {
        mirror_.set(*info->mirror, value);
    }
    ui->EDIDtext->setEnabled(mode == EdidMode::Custom);
    if (mode == EdidMode::Custom) changeCustomEdid();
    showStatus(tr("EDID Writing Busy"), kEdidMessageMs);
}
