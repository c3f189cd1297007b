// The main window's life: construction, start-up sequence, poll timer, shutdown and
// the File menu.
#include "app/CorbanelForm.h"

#include <QCloseEvent>
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

void MainWindow::fillComboBoxes() {}

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
