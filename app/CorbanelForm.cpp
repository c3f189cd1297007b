// The main window's life: construction, start-up sequence, poll timer, shutdown and
// the File menu.
#include "app/CorbanelForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QStatusBar>
#include <string>
#include <utility>

#include "app/Dialogs.h"
#include "app/EdidDetailsLink.h"
#include "settings/RegisterMap.h"
#include "ui_CorbanelForm.h"

static void initResources() {
    Q_INIT_RESOURCE(brimel);
}

MainWindow::MainWindow(const Platform &platform, QWidget *parent)
    : QMainWindow(parent),
      statusObserver_(platform.statusObserver),
      dialogs_(platform.dialogs),
      session_(platform.usb, platform.clock, this) {
    initResources();
    ui = std::make_unique<Ui::MainWindow>();
    ui->setupUi(this);
    // Added in code: the form stays as it is, and the details window stays out of the
    // form's connections to this window.
    edidDetails_ =
        new EdidDetailsLink(*this, ui->menuHelp, *ui->EDIDtext, dialogs_, platform.edidDecode);
    // The session starts with no device open.
    constructing_ = true;
    initDevice();
    constructing_ = false;
}

MainWindow::~MainWindow() {
    shutdown();
}

void MainWindow::initDevice() {
    const auto found = session_.findBySerial();
    if (!found) {
        FileExit();
        return;
    }
    if (!session_.open(*found)) {
        dialogs_.warning(this, tr("BRIMEL Utility"), tr("Hardware not found"));
        return;
    }

    // Controls take the device's settings; the combo boxes are still empty here.
    RefreshSettings();

    const auto firmwareRead = session_.readFirmwareVersion();
    if (!firmwareRead) showStatus(tr("..."), 2000);
    const auto customHdr = readRegister(brimel::regread::CustomHdr, brimel::readlen::CustomHdr);
    const auto customAvi = readRegister(brimel::regread::CustomAvi, brimel::readlen::CustomAvi);
    if (readSettingsBlock()) {
        // The version shows whatever the firmware read brought, as the block read decides.
        ui->labelFw1->setText(QString::asprintf(qPrintable(tr("BRIMEL FW Ver: %d.%d")),
                                                unsigned{firmwareRead->major},
                                                unsigned{firmwareRead->minor}));
    }

    fillComboBoxes();
    showStoredInfoframes(customHdr, customAvi);
    readMatrixFromDevice();
    // Now the combo boxes have items and take the device's values too.
    RefreshSettings();
    readEdidAtStart();
    RefreshStatus();
    startPollTimer(5000);
    startupComplete_ = 1;
}

// Each item is added with its text only, in the settings table's order; the first
// addition selects index 0 and fires the box's slot, which sends nothing while start-up
// is still running.
void MainWindow::fillComboBoxes() {
    using namespace brimel;
    const std::pair<QComboBox *, std::uint8_t> boxes[] = {
        {ui->cmbCscOut, reg::CscOut},
        {ui->cmbDownCscOut, reg::DownCscOut},
        {ui->cmbDeepColor, reg::DeepColor},
        {ui->cmbDsDeepColor, reg::DsDeepColor},
        {ui->cmbPreset4k30, reg::Preset4k30Mode},
        {ui->cmbPreset4k60, reg::Preset4k60Mode},
        {ui->cmBEdid, reg::EdidTable},
    };
    for (const auto &[box, r] : boxes) {
        const Setting *setting = findRegister(r);
        if (setting == nullptr) continue;
        for (const SettingValue &value : setting->values) {
            if (value.label.empty()) continue;
            box->addItem(tr(std::string(value.label).c_str()));
        }
    }
}

void MainWindow::readEdidAtStart() {
    if (!edidAtStart_) return;
    // Only a busy device keeps the read back; a failed block read has shown its text.
    if (readSettingsBlock()->busy) return;
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
    (void)session_.close();
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
        (void)session_.close();
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
