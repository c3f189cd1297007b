// Joins the main window to its "EDID details" window: the Tools menu's entry that opens
// it, and what the EDID manager does (the user typing, a read, a load, an upload, a read
// of the display's EDID) passed on to it. A receiver of its own, so the form's signals
// still reach the main window exactly as the form connects them.
#pragma once

#include <QObject>
#include <QPointer>
#include <optional>

#include "app/EdidDetailsWindow.h"
#include "edid/EdidDecode.h"
#include "edid/EdidText.h"

class Dialogs;
class QMainWindow;
class QMenu;
class QTextEdit;

class EdidDetailsLink : public QObject {
    Q_OBJECT

public:
    // Adds "Tools" (before "Help") with "EDID details…" to `window`'s menu bar.
    EdidDetailsLink(QMainWindow &window, QMenu *helpMenu, QTextEdit &edidText, Dialogs &dialogs,
                    brimel::EdidDecodeOptions options);

    // EDIDtext was replaced as a whole (a read, a load, a checksum repair) or uploaded.
    void managerTextReplaced();
    // Read TV EDID brought the display's EDID.
    void displayEdidRead(const brimel::EdidImage &image);

    // Opens the details window (made on first use) and brings it to the front.
    void open();
    // The details window, once opened.
    EdidDetailsWindow *window() const { return details_; }

private:
    QMainWindow &window_;
    QTextEdit &edidText_;
    Dialogs &dialogs_;
    const brimel::EdidDecodeOptions options_;
    std::optional<brimel::EdidImage> displayEdid_;
    QPointer<EdidDetailsWindow> details_;
};
