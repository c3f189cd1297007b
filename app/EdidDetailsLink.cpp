// The Tools menu entry and the EDID manager's events, passed to the details window.
#include "app/EdidDetailsLink.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>

#include "app/EdidDetailsWindow.h"

EdidDetailsLink::EdidDetailsLink(QMainWindow &window, QMenu *helpMenu, QTextEdit &edidText,
                                 Dialogs &dialogs, brimel::EdidDecodeOptions options)
    : QObject(&window),
      window_(window),
      edidText_(edidText),
      dialogs_(dialogs),
      options_(std::move(options)) {
    auto *tools = new QMenu(tr("Tools"), window.menuBar());
    tools->setObjectName(QStringLiteral("menuTools"));
    auto *details = tools->addAction(tr("EDID details\u2026"));
    details->setObjectName(QStringLiteral("actionEdidDetails"));
    window.menuBar()->insertMenu(helpMenu ? helpMenu->menuAction() : nullptr, tools);
    connect(details, &QAction::triggered, this, &EdidDetailsLink::open);
    // Only while the details window exists: the text is not copied on every keystroke
    // of a user who never opens it.
    connect(&edidText_, &QTextEdit::textChanged, this, [this] {
        if (details_) details_->setManagerText(edidText_.toPlainText());
    });
}

void EdidDetailsLink::managerTextReplaced() {
    if (details_) details_->managerTextReplaced(edidText_.toPlainText());
}

void EdidDetailsLink::displayEdidRead(const brimel::EdidImage &image) {
    displayEdid_ = image;
    if (details_) details_->setDisplayEdid(image);
}

void EdidDetailsLink::open() {
    if (!details_) {
        details_ = new EdidDetailsWindow(dialogs_, options_, &window_);
        details_->setObjectName(QStringLiteral("edidDetailsWindow"));
        details_->managerTextReplaced(edidText_.toPlainText());
        if (displayEdid_) details_->setDisplayEdid(*displayEdid_);
    }
    details_->show();
    details_->raise();
    details_->activateWindow();
}
