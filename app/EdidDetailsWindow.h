// The "EDID details" window: a summary in words and edid-decode's full decode and conformity
// findings for the EDID manager's text, the display's EDID, a built-in table or a file.
// Decoding runs on a worker thread; only the newest request's result is ever shown.
//
// The main window owns one (parent it with the main window; it is a top-level window that
// closes with it) and keeps it fed whether it is shown or not:
//   - EDIDtext's textChanged        -> setManagerText(text)       (decoded after a pause)
//   - after a read, load or upload  -> managerTextReplaced(text)  (decoded at once)
//   - after Read TV EDID            -> setDisplayEdid(image)
// While the window is hidden nothing is decoded; showing it decodes what is chosen.
#pragma once

#include <QString>
#include <QThreadPool>
#include <QWidget>
#include <optional>

#include "edid/EdidDecode.h"
#include "edid/EdidText.h"

class Dialogs;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QTimer;

class EdidDetailsWindow : public QWidget {
    Q_OBJECT

public:
    // Entries of the choice box: the manager's text, the display's EDID, the built-in tables
    // at their item numbers (2 to 25), then a file.
    static constexpr int kManagerTextEntry = 0;
    static constexpr int kDisplayEdidEntry = 1;
    static constexpr int kFileEntry = 26;
    // The pause after the last change of the manager's text before it is decoded.
    static constexpr int kTypingPauseMs = 500;

    EdidDetailsWindow(Dialogs &dialogs, brimel::EdidDecodeOptions options,
                      QWidget *parent = nullptr);
    ~EdidDetailsWindow() override;

public slots:
    // The user is editing the manager's text: decoded once it has not changed for a moment.
    void setManagerText(const QString &text);
    // The manager's text was replaced as a whole (read, load, upload): decoded now.
    void managerTextReplaced(const QString &text);
    // The display's EDID as Read TV EDID got it.
    void setDisplayEdid(const brimel::EdidImage &image);

signals:
    // Request `request` (numbered from 1) got its result: shown when it was the newest,
    // dropped when a newer request had been made meanwhile.
    void decodeFinished(quint64 request, bool shown);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void sourceChosen(int entry);
    // Asks for a file and decodes it. A cancel (or an unreadable file) keeps the file chosen
    // before; without one, picking the entry is undone and the view stays as it was.
    void chooseFile(bool enteringFileEntry);
    // Decodes what the choice box names: the summary at once, edid-decode on a worker.
    void decodeChosen();
    // Shows `message` instead of a summary, with nothing decoded.
    void showNothingDecoded(const QString &message);
    void startDecode(const brimel::EdidImage &image);
    void showDecode(const brimel::EdidDecodeResult &result);
    void find(bool backward);

    Dialogs &dialogs_;
    const brimel::EdidDecodeOptions options_;

    // A file as loaded: a binary image, or hex text parsed like the manager's.
    struct LoadedFile {
        QString name;
        bool formatError = false;
        brimel::EdidImage image{};
    };

    QString managerText_;
    std::optional<brimel::EdidImage> displayEdid_;
    std::optional<LoadedFile> file_;
    int previousEntry_ = kManagerTextEntry;
    quint64 request_ = 0;
    bool stale_ = true;  // something changed while the window was hidden

    // Runs the decodes. Its own threads: a newer request never waits for a decoder that
    // hangs until its time limit. Destroying it waits for the decodes still running.
    QThreadPool pool_;
    QTimer *typingPause_;
    QComboBox *source_;
    QLabel *fileLabel_;
    QPushButton *otherFile_;
    QLabel *summary_;
    QLabel *verdict_;
    QLabel *failures_;
    QLabel *warnings_;
    QListWidget *findings_;
    QLineEdit *findText_;
    QLabel *findStatus_;
    QPlainTextEdit *decodeText_;
};
