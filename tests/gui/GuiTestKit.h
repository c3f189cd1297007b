// What every GUI test needs: the main window on an emulated Brimel, with the fake
// clock, scripted dialogs and a record of status-bar messages.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/CorbanelForm.h"
#include "app/Dialogs.h"
#include "edid/EdidText.h"
#include "device/Clock.h"
#include "emulator/EmulatedDevice.h"
#include "emulator/EmulatedUsbLibrary.h"

// One box or dialog as it was shown.
struct ShownDialog {
    QString kind;  // "transport", "warning", "question", "open", "save", "about"
    bool parentless = false;
    QString title;
    QString text;
    QString informativeText;
};

class ScriptedDialogs final : public Dialogs {
public:
    void transportWarning(const QString &text) override;
    void warning(QWidget *parent, const QString &title, const QString &text) override;
    bool question(QWidget *parent, const QString &title, const QString &text,
                  const QString &informativeText) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    void about(QWidget *parent, const QString &title, const QString &text) override;

    QList<ShownDialog> shown;
    QList<bool> answers;        // next question answers (Yes when empty: false)
    QStringList fileNames;      // next file dialog answers ("" when empty)
    // Called while a box is "open": lets a test act inside the nested loop.
    std::function<void(const ShownDialog &)> onShow;

private:
    void record(ShownDialog d);
};

struct StatusMessage {
    QString text;
    int timeoutMs;
    bool operator==(const StatusMessage &o) const { return text == o.text && timeoutMs == o.timeoutMs; }
};

class GuiRig {
public:
    GuiRig();
    ~GuiRig();

    // Builds the window; by default on one device with serial "2024".
    MainWindow &start();
    MainWindow &window() { return *window_; }
    bool started() const { return window_ != nullptr; }

    // A control of the form by object name; fails the test when it is missing.
    template <class T>
    T *control(const char *name) {
        T *w = window_->findChild<T *>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }

    // Request frames the device received since the last call (or since start).
    std::vector<brimel::Bytes> takeFrames();

    brimel::FakeClock clock{100000};
    brimel::EmulatedDevice device;
    brimel::EmulatedUsbLibrary usb{clock};
    ScriptedDialogs dialogs;
    std::vector<StatusMessage> status;
    bool attachDevice = true;

private:
    std::unique_ptr<MainWindow> window_;
    std::size_t seen_ = 0;
};

// Collects what is written to standard output while it lives (file descriptor 1 goes
// to a temporary file); finish() ends the capture and returns the text.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;
    QByteArray finish();

private:
    std::FILE *file_;
    int saved_ = -1;
    QByteArray text_;
};

// The window's poll tick, as its timer delivers it. The id is 1: QMainWindow's layout
// takes a timer event whose id equals its idle timer's (0) for itself.
void tick(MainWindow &w);

// The frames of a tick's status part when the device shows a signal: the status read,
// the bracket open, the seven infoframe and name reads, the bracket closed.
const std::vector<brimel::Bytes> &statusShownFrames();

// A built-in EDID table as an image (all zero for an item without one), and the
// EDID text the window shows for an image.
brimel::EdidImage builtinImage(int item);
QString edidText(const brimel::EdidImage &image);

// Hex text of a frame, "10 04 E0 28 0F", for readable failure messages.
QString hex(const brimel::Bytes &frame);
brimel::Bytes bytes(std::initializer_list<int> values);
