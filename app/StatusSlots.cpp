// The tick and the read-back of the device's settings and signal status.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTextEdit>
#include <QTimerEvent>
#include <string>

#include "app/CorbanelForm.h"
#include "status/SettingsReadBack.h"
#include "status/StatusDecode.h"
#include "ui_CorbanelForm.h"

using namespace brimel;

namespace {

// The fixed texts the read-back and the status frame show, marked for translation
// here because the domain code that holds them stays free of Qt.
[[maybe_unused]] constexpr const char *kTranslatableTexts[] = {
    QT_TRANSLATE_NOOP("MainWindow", "Selection locked with slide switch"),
    QT_TRANSLATE_NOOP("MainWindow", "NO BRIMEL CONNECTED. CONNECT USB AND RESTART"),
    QT_TRANSLATE_NOOP("MainWindow", "Input :"),
    QT_TRANSLATE_NOOP("MainWindow", "Output :"),
    QT_TRANSLATE_NOOP("MainWindow", "In Color Space:"),
    QT_TRANSLATE_NOOP("MainWindow", "Out Color Space:"),
    QT_TRANSLATE_NOOP("MainWindow", "Input Pixel Clock:"),
    QT_TRANSLATE_NOOP("MainWindow", "Input Encryption:"),
    QT_TRANSLATE_NOOP("MainWindow", "Input Deep Color:"),
    QT_TRANSLATE_NOOP("MainWindow", "HDR Input:"),
    QT_TRANSLATE_NOOP("MainWindow", "Output Pixel Clock:"),
    QT_TRANSLATE_NOOP("MainWindow", "Output Encryption:"),
    QT_TRANSLATE_NOOP("MainWindow", "Output Deep Color:"),
    QT_TRANSLATE_NOOP("MainWindow", "Source Name:"),
    QT_TRANSLATE_NOOP("MainWindow", "Display Name:"),
};

// The only status label whose text may carry markup (the red clock warnings).
constexpr std::string_view kRichTextLabel = "lblOutPixelClock";

QString translated(std::string_view text) {
    return text.empty() ? QString() : MainWindow::tr(std::string(text).c_str());
}

template <class T>
T *named(QWidget &root, std::string_view name) {
    return root.findChild<T *>(
        QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

// One read-back step on the control it names. Checked states, indices and enabled
// states are set as they are; the controls whose signals reach a slot then write
// through that slot.
void applyReadBack(QWidget &root, const ControlOperation &op) {
    switch (op.op) {
        case ControlOp::SetChecked:
            if (auto *b = named<QAbstractButton>(root, op.objectName))
                b->setChecked(op.argument != 0);
            break;
        case ControlOp::SetEnabled:
            if (auto *w = named<QWidget>(root, op.objectName)) w->setEnabled(op.argument != 0);
            break;
        case ControlOp::SetCurrentIndex:
            if (auto *c = named<QComboBox>(root, op.objectName)) c->setCurrentIndex(op.argument);
            break;
        case ControlOp::SetText:
            if (auto *l = named<QLabel>(root, op.objectName)) l->setText(translated(op.text));
            break;
    }
}

// Status texts are 8-bit strings partly made of bytes the device and the source
// sent, so every label shows them as plain text except the clock label's markup.
void setStatusLabel(QLabel &label, std::string_view name, const QString &text) {
    label.setTextFormat(name == kRichTextLabel ? Qt::RichText : Qt::PlainText);
    label.setText(text);
}

void showStatusCaptions(QWidget &root) {
    for (const StatusCaption &c : statusCaptions()) {
        if (auto *l = named<QLabel>(root, c.objectName))
            setStatusLabel(*l, c.objectName, translated(c.caption));
    }
}

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void showStatusText(QWidget &root, const StatusText &t) {
    if (t.widget == StatusWidget::Label) {
        if (auto *l = named<QLabel>(root, t.objectName))
            setStatusLabel(*l, t.objectName, latin1(t.text));
        return;
    }
    // Rewriting an unchanged dump would drop the user's selection on every tick.
    if (auto *box = named<QTextEdit>(root, t.objectName)) {
        const QString text = latin1(t.text);
        if (box->toPlainText() != text) box->setPlainText(text);
    }
}

}  // namespace

// Every timer event of the window is the poll tick. A tick that arrives while a
// transaction runs (inside a modal box's event loop) is dropped.
void MainWindow::timerEvent(QTimerEvent *) {
    if (session_.busy()) return;
    RefreshSettings();
    RefreshStatus();
}

void MainWindow::RefreshSettings() {
    if (disconnected_) {
        showStatusCaptions(*this);
        return;
    }
    const auto block = readSettingsBlock();
    // A busy device's block is not to be used, whatever else arrived with it.
    if (block->busy) return;
    if (!block) {
        ui->lblWarning->setText(translated(kNoDeviceWarning));
        disconnected_ = true;
        return;
    }
    mirror_.takeBlock(block->entries);
    for (const ControlOperation &op : readBackPlan(block->entries)) applyReadBack(*this, op);
}

void MainWindow::RefreshStatus() {
    if (disconnected_) {
        showStatusCaptions(*this);
        return;
    }
    // Failed reads show in the status bar as they happen (stepFailed).
    const auto readout = session_.readStatus();
    if (!readout->shown) {
        showStatusCaptions(*this);
        return;
    }
    const StatusDisplay display = decodeStatus(readout->records(), ui->cb3x3En->isChecked());
    for (const StatusText &t : display.inSetOrder()) showStatusText(*this, t);
}
