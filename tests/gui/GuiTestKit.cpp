// Scripted dialogs and the window-on-emulator rig of the GUI tests.
#include "GuiTestKit.h"

#include <unistd.h>
#include <algorithm>

#include "edid/BuiltinEdids.h"

void ScriptedDialogs::record(ShownDialog d) {
    shown.append(d);
    if (onShow) onShow(d);
}

void ScriptedDialogs::transportWarning(const QString &text) {
    record({"transport", true, QStringLiteral(" "), text, {}});
}

void ScriptedDialogs::warning(QWidget *parent, const QString &title, const QString &text) {
    record({"warning", parent == nullptr, title, text, {}});
}

bool ScriptedDialogs::question(QWidget *parent, const QString &title, const QString &text,
                               const QString &informativeText) {
    record({"question", parent == nullptr, title, text, informativeText});
    return answers.isEmpty() ? false : answers.takeFirst();
}

QString ScriptedDialogs::openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                      const QString &filter) {
    record({"open", parent == nullptr, caption, dir, filter});
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

QString ScriptedDialogs::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                      const QString &filter) {
    record({"save", parent == nullptr, caption, dir, filter});
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

void ScriptedDialogs::about(QWidget *parent, const QString &title, const QString &text) {
    record({"about", parent == nullptr, title, text, {}});
}

GuiRig::GuiRig() = default;
GuiRig::~GuiRig() = default;

MainWindow &GuiRig::start() {
    if (attachDevice) usb.attach(device);
    window_ = std::make_unique<MainWindow>(Platform{
        usb, clock, dialogs, [this](const QString &text, int ms) { status.push_back({text, ms}); }});
    return *window_;
}

std::vector<brimel::Bytes> GuiRig::takeFrames() {
    const auto &log = device.log();
    std::vector<brimel::Bytes> out(log.begin() + static_cast<long>(seen_), log.end());
    seen_ = log.size();
    return out;
}

QString hex(const brimel::Bytes &frame) {
    QStringList parts;
    for (auto b : frame) parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

brimel::Bytes bytes(std::initializer_list<int> values) {
    brimel::Bytes out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

StdoutCapture::StdoutCapture() : file_(std::tmpfile()) {
    std::fflush(stdout);
    saved_ = dup(1);
    dup2(fileno(file_), 1);
}

StdoutCapture::~StdoutCapture() { finish(); }

QByteArray StdoutCapture::finish() {
    if (saved_ < 0) return text_;
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
    std::rewind(file_);
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
        text_.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file_);
    return text_;
}

void tick(MainWindow &w) {
    QTimerEvent e(1);
    QCoreApplication::sendEvent(&w, &e);
}

const std::vector<brimel::Bytes> &statusShownFrames() {
    static const std::vector<brimel::Bytes> frames{
        bytes({0x11, 0x1C, 0xE0, 0x06}), bytes({0x10, 0x02, 0xB4, 0x00}),
        bytes({0x11, 0x21, 0xE0, 0x15}), bytes({0x11, 0x21, 0xE0, 0x1E}),
        bytes({0x11, 0x21, 0xE0, 0x1F}), bytes({0x11, 0x21, 0xE0, 0x25}),
        bytes({0x11, 0x21, 0xE0, 0x26}), bytes({0x11, 0x21, 0xE0, 0x27}),
        bytes({0x11, 0x0F, 0xE0, 0x35}), bytes({0x10, 0x02, 0xB1, 0x00}),
    };
    return frames;
}

brimel::EdidImage builtinImage(int item) {
    brimel::EdidImage image{};
    const auto table = brimel::builtinEdid(item);
    if (table) std::copy(table->begin(), table->end(), image.begin());
    return image;
}

QString edidText(const brimel::EdidImage &image) {
    return QString::fromStdString(brimel::EdidBytesToText(image));
}
