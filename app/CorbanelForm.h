// The main window: owns the form, the USB link and the settings mirror, runs the
// start-up sequence, the 5000 ms tick and the shutdown, and declares every slot.
// Slot bodies live beside their subsystem's domain code (status/, settings/, ...).
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "device/Commands.h"
#include "device/UsbLink.h"

class QProgressBar;
class QTimerEvent;
class QCloseEvent;
class Dialogs;

namespace Ui {
class MainWindow;
}

// What the window needs from the outside world; real in the programs, fakes in tests.
struct Platform {
    brimel::UsbLibrary &usb;
    brimel::Clock &clock;
    Dialogs &dialogs;
    // Sees every status-bar message with its duration (tests use it).
    std::function<void(const QString &, int)> statusObserver = {};
};

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(const Platform &platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    // True when start-up found no device: the caller ends the program without
    // showing the window.
    bool startupAborted() const { return startupAborted_; }

    // Generic device operations; failures are reported in the status bar.
    bool ReadRegister(std::uint8_t index, brimel::ReplyBuffer &reply, std::uint8_t count);
    bool WriteRegister(std::uint8_t reg, std::uint8_t value);
    bool ReadSettingsBlock(brimel::ReplyBuffer &reply, std::uint8_t count);
    bool WriteSettingsBlock(const std::array<std::uint8_t, brimel::kSettingsWriteEntries> &data);
    bool SendBracket(bool open);

    void RefreshSettings();
    void RefreshStatus();

    void startPollTimer(int intervalMs);
    void stopPollTimer();
    bool pollTimerRunning() const { return timerRunning_ != 0; }

    // Shows a timed message in the status bar (text already translated).
    void showStatus(const QString &text, int timeoutMs);

    brimel::UsbLink &link() { return link_; }
    const std::array<std::uint8_t, brimel::kMirrorEntries> &settingsMirror() const {
        return settingsMirror_;
    }
    bool startupComplete() const { return startupComplete_ != 0; }
    bool disconnected() const { return disconnected_; }

public slots:
    void on_ProgressChange(int value, int maximum);

private slots:
    void SaveEDIDtoFile();
    void LoadEDIDfromFile();
    void FileExit();
    void FileAbout();
    void ReadEDID();
    bool ReadTvEDID();
    void WriteEDID();
    void WriteIF();
    void CalculateChkSum();
    void SetActivePort();
    void SetAutoSwitch();
    void SetHDCP_Version();
    void SetEDID_Mode();
    void SetEPState();
    void setScaling();
    void setCsc();
    void set3x();
    void set3xEn();
    void read3x();
    void reset3x3();
    void setDownCsc();
    void setDeepColor();
    void setDsDeepColor();
    void setPreset4k30();
    void setPreset4k60();
    void setPreset4k30Mode();
    void setPreset4k60Mode();
    void setIgnoreEdid();
    void setHtpc();
    void setPreset300();
    void setAviCustom();
    void setSwPriority();
    void changeCustomEdid();
    bool sendAVI();
    void hdrForceActivate();
    void setLogoLed();
    void setBt2020Force();
    void setAviDisable();
    void setHdrDisable();
    void setAutoFillCrc();
    void resetBrimel();
    void factoryReset();

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void initDevice();
    void readEdidAtStart();
    void fillComboBoxes();
    void shutdown();

    // Status read-back and display (status/).
    // Setting slots and the colour matrix (settings/).
    // Reads the colour matrix into its spin boxes (the body of read3x() past its gate).
    void readMatrixFromDevice();
    // Writes a register of the map: nothing while its gate is closed; otherwise the
    // write, then the mirror entry the map names takes the value, whatever the outcome.
    void writeSetting(std::uint8_t reg, std::uint8_t value);
    // Custom infoframes (infoframes/).
    // Shows the stored custom infoframes read at start-up as text.
    void showStoredInfoframes(const brimel::ReplyBuffer &hdr, bool hdrRead,
                              const brimel::ReplyBuffer &avi, bool aviRead);
    // EDID text, transfers and files (edid/).
    using EdidBytes = std::array<std::uint8_t, 256>;  // one EDID image, both blocks
    // Parses the plain text of EDIDtext into `image`; -1 when the text breaks the format.
    int edidTextImage(EdidBytes &image) const;
    // Replaces EDIDtext by the image in the 16 x 16 layout, the checksum bytes bold.
    void ShowEDID(const EdidBytes &image);
    // Replaces EDIDtext by `text` drawn in 8 points in `color`, bold or normal.
    void setEdidPlainText(const QString &text, Qt::GlobalColor color, bool bold);
    // Readies the progress bar for a transfer (one bar, created on first use, hidden).
    void NewProgressBar();
    // Reads the 16 chunks of the device's (0xB0) or the display's (0xB5) EDID into
    // EDIDtext; false, with the text untouched, when a chunk fails.
    bool ReadEdidChunks(std::uint8_t command);
    // Uploads EDIDtext as table 1; the outcome of the apply frame.
    bool UploadEDID();
    // Uploads a built-in table as stored; the outcome of the apply frame.
    bool UploadEdidTable(const EdidBytes &table);
    // The 32 data frames of an upload with their progress and 30 ms pauses.
    void sendEdidData(std::uint8_t command, const EdidBytes &image);
    // The apply frame 10 08 B1; true when the device answered it with 0xB1.
    bool sendEdidApply();

    QProgressBar *progress_ = nullptr;  // the running EDID transfer's progress bar
    // The generated form. It lives as long as the window: a close can arrive from a
    // nested event loop (a modal box inside a slot), and that slot still reaches its
    // controls through it when the box returns.
    std::unique_ptr<Ui::MainWindow> ui;
    std::function<void(const QString &, int)> statusObserver_;

    Dialogs &dialogs_;
    brimel::UsbLink link_;

    std::uint8_t startupComplete_ = 0;
    int timerRunning_ = 0;
    int timerId_ = 0;
    std::uint8_t edidAtStart_ = 1;
    bool disconnected_ = false;
    bool startupAborted_ = false;
    bool constructing_ = false;
    std::array<std::uint8_t, brimel::kMirrorEntries> settingsMirror_{};
};
