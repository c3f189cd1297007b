// The main window: owns the form, the device session and the settings mirror, runs the
// start-up sequence, the 5000 ms tick and the shutdown, and declares every slot. The
// slot bodies live in one file per subsystem beside this one (StatusSlots.cpp, ...);
// each reads its controls, calls the session and shows the outcome.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "device/Commands.h"
#include "edid/EdidDecode.h"
#include "edid/EdidText.h"
#include "session/Session.h"
#include "settings/SettingsMirror.h"

class QProgressBar;
class QTimerEvent;
class QCloseEvent;
class Dialogs;
class EdidDetailsLink;

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
    // How the EDID details window runs edid-decode.
    brimel::EdidDecodeOptions edidDecode = {};
};

class MainWindow : public QMainWindow, private brimel::SessionObserver {
    Q_OBJECT

public:
    explicit MainWindow(const Platform &platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    // True when start-up found no device: the caller ends the program without
    // showing the window.
    bool startupAborted() const { return startupAborted_; }

    void RefreshSettings();
    void RefreshStatus();

    void startPollTimer(int intervalMs);
    void stopPollTimer();
    bool pollTimerRunning() const { return timerRunning_ != 0; }

    // Shows a timed message in the status bar (text already translated).
    void showStatus(const QString &text, int timeoutMs);

    // The Tools menu's EDID details window and what feeds it.
    EdidDetailsLink &edidDetails() { return *edidDetails_; }

    // The device session, for looking at (whether a device is open, a transaction runs).
    const brimel::Session &session() const { return session_; }
    const brimel::SettingsMirror::Entries &settingsMirror() const { return mirror_.entries(); }
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

    // What the session tells in the middle of a call, shown as it happens: link
    // problems in their boxes, failed steps in the status bar.
    void linkProblem(brimel::LinkProblem problem) override;
    void stepFailed(const brimel::SessionStep &step, brimel::SessionError error) override;

    // The generic operations with the status-bar texts of their failures.
    // A failed write of a register or the settings block shows "Error Writing values".
    bool writeReported(const brimel::Status &write);
    brimel::Result<brimel::Record> readRegister(std::uint8_t index, std::uint8_t count);
    bool writeRegister(std::uint8_t reg, std::uint8_t value);
    brimel::Result<brimel::SettingsBlock> readSettingsBlock();
    bool writeSettingsBlock(std::span<const std::uint8_t, brimel::kSettingsWriteEntries> data);

    // Reads the colour matrix into its spin boxes (the body of read3x() past its gate).
    void readMatrixFromDevice();
    // Writes a register of the map: nothing while its gate is closed; otherwise the
    // write, then the mirror entry the map names takes the value, whatever the outcome.
    void writeSetting(std::uint8_t reg, std::uint8_t value);
    // Shows the stored custom infoframes read at start-up as text; a box whose read
    // failed stays empty.
    void showStoredInfoframes(const brimel::Result<brimel::Record> &hdr,
                              const brimel::Result<brimel::Record> &avi);
    // EDID text, transfers and files.
    // Parses the plain text of EDIDtext into `image`; -1 when the text breaks the format.
    int edidTextImage(brimel::EdidImage &image) const;
    // Replaces EDIDtext by the image in the 16 x 16 layout, the checksum bytes bold.
    void ShowEDID(const brimel::EdidImage &image);
    // Replaces EDIDtext by `text` drawn in 8 points in `color`, bold or normal.
    void setEdidPlainText(const QString &text, Qt::GlobalColor color, bool bold);
    // Readies the progress bar for a transfer (one bar, created on first use, hidden).
    void NewProgressBar();
    // Reads the 16 chunks of the device's or the display's EDID into EDIDtext; false,
    // with the text untouched, when a chunk fails.
    bool ReadEdidChunks(brimel::EdidSource source);
    // Uploads EDIDtext as table 1; the outcome of the apply frame.
    bool UploadEDID();
    // Uploads a built-in table as stored; the outcome of the apply frame.
    bool UploadEdidTable(const brimel::EdidImage &table);
    // Moves the progress bar along a transfer: a read shows its chunks against 255,
    // an upload its frames against 32.
    brimel::TransferControl transferProgress(bool read);

    QProgressBar *progress_ = nullptr;  // the running EDID transfer's progress bar
    // The generated form. It lives as long as the window: a close can arrive from a
    // nested event loop (a modal box inside a slot), and that slot still reaches its
    // controls through it when the box returns.
    std::unique_ptr<Ui::MainWindow> ui;
    std::function<void(const QString &, int)> statusObserver_;

    Dialogs &dialogs_;
    brimel::Session session_;
    EdidDetailsLink *edidDetails_ = nullptr;  // a child of the window

    std::uint8_t startupComplete_ = 0;
    int timerRunning_ = 0;
    int timerId_ = 0;
    std::uint8_t edidAtStart_ = 1;
    bool disconnected_ = false;
    bool startupAborted_ = false;
    bool constructing_ = false;
    brimel::SettingsMirror mirror_;
};
