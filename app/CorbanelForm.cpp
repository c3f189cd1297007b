// The main window's life: construction, start-up sequence, poll timer, shutdown and
// the File menu.
#include "app/CorbanelForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QStatusBar>

#include "app/Dialogs.h"
#include "ui_CorbanelForm.h"

static void initResources() { Q_INIT_RESOURCE(brimel); }

MainWindow::MainWindow(const Platform &platform, QWidget *parent)
    : QMainWindow(parent),
      statusObserver_(platform.statusObserver),
      dialogs_(platform.dialogs),
      link_(platform.usb, platform.clock, [this](const char *text) {
          dialogs_.transportWarning(QCoreApplication::translate("UsbLink", text));
      }) {
    initResources();
    ui = std::make_unique<Ui::MainWindow>();
    ui->setupUi(this);
    link_.deviceHandle = brimel::kInvalidUsbHandle;
    constructing_ = true;
    initDevice();
    constructing_ = false;
}

MainWindow::~MainWindow() { shutdown(); }

void MainWindow::initDevice() {
    if (!link_.FindUsbDevice(link_.deviceSerial, link_.deviceIndex)) {
        FileExit();
        return;
    }
    if (!link_.OpenUsbDevice(link_.deviceIndex)) {
        dialogs_.warning(this, tr("BRIMEL Utility"), tr("Hardware not found"));
        return;
    }

    // Controls take the device's settings; the combo boxes are still empty here.
    RefreshSettings();

    brimel::ReplyBuffer firmware{};
    brimel::ReplyBuffer customHdr{};
    brimel::ReplyBuffer customAvi{};
    brimel::ReplyBuffer block{};
    ReadRegister(brimel::regread::Firmware, firmware, brimel::readlen::Firmware);
    const bool hdrRead = ReadRegister(brimel::regread::CustomHdr, customHdr, brimel::readlen::CustomHdr);
    const bool aviRead = ReadRegister(brimel::regread::CustomAvi, customAvi, brimel::readlen::CustomAvi);
    if (ReadSettingsBlock(block, brimel::readlen::SettingsBlock)) {
        ui->labelFw1->setText(QString::asprintf(qPrintable(tr("BRIMEL FW Ver: %d.%d")),
                                                unsigned{firmware[2]}, unsigned{firmware[3]}));
    }

    fillComboBoxes();
    showStoredInfoframes(customHdr, hdrRead, customAvi, aviRead);
    readMatrixFromDevice();
    // Now the combo boxes have items and take the device's values too.
    RefreshSettings();
    readEdidAtStart();
    RefreshStatus();
    startPollTimer(5000);
    startupComplete_ = 1;
}

// Each item is added with its text only; the first addition selects index 0 and fires
// the box's slot, which sends nothing while start-up is still running.
void MainWindow::fillComboBoxes() {
    ui->cmbCscOut->addItem(tr("RGB 0-255"));
    ui->cmbCscOut->addItem(tr("RGB 16-235"));
    ui->cmbCscOut->addItem(tr("YCbCr 4:4:4 BT.709/2020"));
    ui->cmbCscOut->addItem(tr("YCbCr 4:2:2 BT.709/2020"));
    ui->cmbCscOut->addItem(tr("YCbCr 4:2:0 BT.709/2020"));
    ui->cmbCscOut->addItem(tr("xvYCC 4:4:4 BT.709"));
    ui->cmbCscOut->addItem(tr("Follow Input"));

    ui->cmbDownCscOut->addItem(tr("RGB 0-255"));
    ui->cmbDownCscOut->addItem(tr("YCbCr 4:4:4 BT.709/2020"));

    for (QComboBox *box : {ui->cmbDeepColor, ui->cmbDsDeepColor}) {
        box->addItem(tr("8-bit / 24-bit"));
        box->addItem(tr("10-bit / 30-bit"));
        box->addItem(tr("12-bit / 36-bit"));
        box->addItem(tr("16-bit / 48-bit"));
        box->addItem(tr("Follow Input"));
    }

    ui->cmbPreset4k30->addItem(tr("4k30 444 8-bit 300MHz"));
    ui->cmbPreset4k30->addItem(tr("4k30 420 8/10/12-bit"));
    ui->cmbPreset4k30->addItem(tr("1080p30 444 8/10/12-bit"));
    ui->cmbPreset4k30->addItem(tr("4k30 422 12-bit 300MHz"));

    ui->cmbPreset4k60->addItem(tr("4k60 420 8-bit 300MHz"));
    ui->cmbPreset4k60->addItem(tr("1080p60 444 8/10/12-bit"));

    static const char *const edidTables[] = {
        QT_TR_NOOP("1 - Custom Uploaded/Default EDID"),
        QT_TR_NOOP("2 - 4k60-444 600MHz HDR BT.2020 All Sound"),
        QT_TR_NOOP("3 - 4k60-444 600MHz HDR BT.2020 Stereo"),
        QT_TR_NOOP("4 - 4k60-444 600MHz All Sound"),
        QT_TR_NOOP("5 - 4k60-444 600MHz Stereo"),
        QT_TR_NOOP("6 - 4k50-444 600MHz HDR BT.2020 All Sound"),
        QT_TR_NOOP("7 - 4k50-444 600MHz HDR BT.2020 Stereo"),
        QT_TR_NOOP("8 - 4k60-420 12-bit HDR BT.2020 All Sound"),
        QT_TR_NOOP("9 - 4k60-420 12-bit HDR BT.2020 Stereo"),
        QT_TR_NOOP("10 - 4k60-420 12-bit BT.2020 All Sound"),
        QT_TR_NOOP("11 - 4k60-420 12-bit BT.2020 Stereo"),
        QT_TR_NOOP("12 - 4k60-420 8-bit 300MHz All Sound"),
        QT_TR_NOOP("13 - 4k60-420 8-bit 300MHz Stereo"),
        QT_TR_NOOP("14 - 4k30-444 300MHz All Sound"),
        QT_TR_NOOP("15 - 4k30-444 300MHz Stereo"),
        QT_TR_NOOP("16 - 4k30-RGB 300MHz All Sound"),
        QT_TR_NOOP("17 - 4k30-RGB 300MHz Stereo"),
        QT_TR_NOOP("18 - 4k24-422 12-bit BT.2020 All Sound"),
        QT_TR_NOOP("19 - 4k24-422 12-bit BT.2020 Stereo"),
        QT_TR_NOOP("20 - 1080p-444 148MHz All Sound"),
        QT_TR_NOOP("21 - 1080p-444 148MHz HDR Stereo"),
        QT_TR_NOOP("22 - 1080p24-444 All Sound"),
        QT_TR_NOOP("23 - 1080p24-444 Stereo"),
        QT_TR_NOOP("24 - 1080I-444 All Sound"),
        QT_TR_NOOP("25 - 1080I-444 Stereo"),
    };
    for (const char *item : edidTables) ui->cmBEdid->addItem(tr(item));
}

void MainWindow::readEdidAtStart() {
    if (!edidAtStart_) return;
    brimel::ReplyBuffer block{};
    ReadSettingsBlock(block, brimel::readlen::SettingsBlock);
    if (block[1] & 0x01) return;
    edidAtStart_ = 0;
    ReadEDID();
}

void MainWindow::startPollTimer(int intervalMs) {
    if (timerRunning_) return;
    timerId_ = startTimer(intervalMs);
    timerRunning_ = 1;
}

void MainWindow::stopPollTimer() {
    if (!timerRunning_) return;
    timerRunning_ = 0;
    killTimer(timerId_);
}

void MainWindow::showStatus(const QString &text, int timeoutMs) {
    statusBar()->showMessage(text, timeoutMs);
    if (statusObserver_) statusObserver_(text, timeoutMs);
}

void MainWindow::shutdown() {
    link_.CloseUsbDevice();
    stopPollTimer();
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent *event) {
    event->accept();
    shutdown();
}

void MainWindow::FileExit() {
    if (constructing_) {
        // Start-up found no device: nothing is shown; the entry point ends the program.
        startupAborted_ = true;
        link_.CloseUsbDevice();
        stopPollTimer();
        return;
    }
    hide();
    shutdown();
}

void MainWindow::FileAbout() {
    dialogs_.about(this, tr("About BRIMEL Utility"),
                   tr("<h2>BRIMEL Utility Version 0.21</h2>") +
                       tr("<p>Controls the Brimel HDMI signal processor over USB; "
                          "every setting lives in the device.</p>"));
}
