// The EDID details window: the choice of what to decode, the summary, edid-decode's verdict
// and findings, and its full decode with a find bar. edid-decode runs through QtConcurrent.
#include "app/EdidDetailsWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialogs.h"
#include "edid/BuiltinEdids.h"
#include "edid/EdidFile.h"
#include "edid/EdidSummary.h"

using namespace brimel;

namespace {

const QColor kFailureColor(0xC0, 0x00, 0x00);
const QColor kWarningColor(0xD0, 0x60, 0x00);

QString fromUtf8(const std::string &text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void setColor(QLabel *label, const QColor &color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

// "Block 0, Base EDID: Invalid checksum ..." and its detail lines below, indented.
QString findingText(const EdidFinding &f) {
    QString text = f.block.empty() ? fromUtf8(f.text) : fromUtf8(f.block + ": " + f.text);
    for (const std::string &detail : f.details) text += QStringLiteral("\n    ") + fromUtf8(detail);
    return text;
}

}  // namespace

EdidDetailsWindow::EdidDetailsWindow(Dialogs &dialogs, EdidDecodeOptions options, QWidget *parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), options_(std::move(options)) {
    setWindowTitle(tr("EDID details"));
    pool_.setMaxThreadCount(4);

    source_ = new QComboBox(this);
    source_->setObjectName(QStringLiteral("source"));
    source_->addItem(tr("EDID manager text"));
    source_->addItem(tr("Display EDID (last Read TV EDID)"));
    for (int item = kFirstBuiltinEdidItem; item <= kLastBuiltinEdidItem; ++item) {
        const std::string_view name = kEdidTableTexts[static_cast<std::size_t>(item - 1)];
        source_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    source_->addItem(tr("File\u2026"));
    source_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    fileLabel_ = new QLabel(this);
    fileLabel_->setObjectName(QStringLiteral("fileName"));
    fileLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    otherFile_ = new QPushButton(tr("Other file\u2026"), this);
    otherFile_->setObjectName(QStringLiteral("otherFile"));
    otherFile_->hide();

    auto *chooser = new QHBoxLayout;
    chooser->addWidget(new QLabel(tr("Decode:"), this));
    chooser->addWidget(source_);
    chooser->addWidget(otherFile_);
    chooser->addWidget(fileLabel_, 1);

    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    summary_->setMargin(4);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto *summaryScroll = new QScrollArea(this);
    summaryScroll->setWidget(summary_);
    summaryScroll->setWidgetResizable(true);
    summaryScroll->setBackgroundRole(QPalette::Base);  // a white panel, as the findings list
    auto *summaryBox = new QGroupBox(tr("Summary"), this);
    auto *summaryLayout = new QVBoxLayout(summaryBox);
    summaryLayout->addWidget(summaryScroll);

    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("verdict"));
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setWordWrap(true);
    verdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = verdict_->font();
    bold.setBold(true);
    verdict_->setFont(bold);
    failures_ = new QLabel(this);
    failures_->setObjectName(QStringLiteral("failures"));
    failures_->setFont(bold);
    setColor(failures_, kFailureColor);
    warnings_ = new QLabel(this);
    warnings_->setObjectName(QStringLiteral("warnings"));
    warnings_->setFont(bold);
    setColor(warnings_, kWarningColor);
    findings_ = new QListWidget(this);
    findings_->setObjectName(QStringLiteral("findings"));
    findings_->setWordWrap(true);
    findings_->setSpacing(2);
    findings_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *counts = new QHBoxLayout;
    counts->addWidget(failures_);
    counts->addSpacing(12);
    counts->addWidget(warnings_);
    counts->addStretch(1);
    auto *conformityBox = new QGroupBox(tr("Conformity (edid-decode --check)"), this);
    auto *conformityLayout = new QVBoxLayout(conformityBox);
    conformityLayout->addWidget(verdict_);
    conformityLayout->addLayout(counts);
    conformityLayout->addWidget(findings_, 1);

    findText_ = new QLineEdit(this);
    findText_->setObjectName(QStringLiteral("findText"));
    findText_->setPlaceholderText(tr("Find in the decode"));
    findText_->setClearButtonEnabled(true);
    auto *previous = new QPushButton(tr("Previous"), this);
    previous->setObjectName(QStringLiteral("findPrevious"));
    auto *next = new QPushButton(tr("Next"), this);
    next->setObjectName(QStringLiteral("findNext"));
    findStatus_ = new QLabel(this);
    findStatus_->setObjectName(QStringLiteral("findStatus"));
    auto *copy = new QPushButton(tr("Copy all"), this);
    copy->setObjectName(QStringLiteral("copyAll"));
    auto *findBar = new QHBoxLayout;
    findBar->addWidget(new QLabel(tr("Find:"), this));
    findBar->addWidget(findText_, 1);
    findBar->addWidget(previous);
    findBar->addWidget(next);
    findBar->addWidget(findStatus_);
    findBar->addStretch(1);
    findBar->addWidget(copy);

    decodeText_ = new QPlainTextEdit(this);
    decodeText_->setObjectName(QStringLiteral("decodeText"));
    decodeText_->setReadOnly(true);
    decodeText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    decodeText_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    decodeText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto *top = new QWidget(this);
    auto *topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(summaryBox, 3);
    topLayout->addWidget(conformityBox, 2);
    auto *bottom = new QWidget(this);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addLayout(findBar);
    bottomLayout->addWidget(decodeText_, 1);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(chooser);
    layout->addWidget(splitter, 1);
    resize(1100, 820);
    splitter->setSizes({380, 440});

    typingPause_ = new QTimer(this);
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);
    connect(typingPause_, &QTimer::timeout, this, [this] {
        if (source_->currentIndex() == kManagerTextEntry) decodeChosen();
    });
    connect(source_, &QComboBox::currentIndexChanged, this, &EdidDetailsWindow::sourceChosen);
    connect(otherFile_, &QPushButton::clicked, this, [this] { chooseFile(false); });
    connect(next, &QPushButton::clicked, this, [this] { find(false); });
    connect(previous, &QPushButton::clicked, this, [this] { find(true); });
    connect(findText_, &QLineEdit::returnPressed, this, [this] { find(false); });
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(decodeText_->toPlainText()); });
    auto *findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, [this] {
        findText_->setFocus();
        findText_->selectAll();
    });
    auto *nextShortcut = new QShortcut(QKeySequence::FindNext, this);
    connect(nextShortcut, &QShortcut::activated, this, [this] { find(false); });
    auto *previousShortcut = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previousShortcut, &QShortcut::activated, this, [this] { find(true); });

    decodeChosen();
}

EdidDetailsWindow::~EdidDetailsWindow() = default;

void EdidDetailsWindow::setManagerText(const QString &text) {
    managerText_ = text;
    if (source_->currentIndex() == kManagerTextEntry) typingPause_->start();
}

void EdidDetailsWindow::managerTextReplaced(const QString &text) {
    managerText_ = text;
    typingPause_->stop();
    if (source_->currentIndex() == kManagerTextEntry) decodeChosen();
}

void EdidDetailsWindow::setDisplayEdid(const EdidImage &image) {
    displayEdid_ = image;
    if (source_->currentIndex() == kDisplayEdidEntry) decodeChosen();
}

void EdidDetailsWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (stale_) decodeChosen();
}

void EdidDetailsWindow::sourceChosen(int entry) {
    if (entry == kFileEntry) {
        chooseFile(true);
        return;
    }
    previousEntry_ = entry;
    otherFile_->hide();
    fileLabel_->clear();
    decodeChosen();
}

void EdidDetailsWindow::chooseFile(bool enteringFileEntry) {
    const QString name = dialogs_.openFileName(this, tr("Open EDID file"), QString(),
                                               tr("Binary Files (*.bin);;All files (*.*)"));
    QByteArray content;
    bool read = false;
    if (!name.isEmpty()) {
        QFile file(name);
        read = file.open(QIODevice::ReadOnly);
        if (read) content = file.read(static_cast<qint64>(kEdidFileReadMax));
        read = read && file.error() == QFileDevice::NoError;
        if (!read) {
            dialogs_.warning(this, tr("EDID details"),
                             tr("Cannot read file %1:\n%2.").arg(name, file.errorString()));
        }
    }
    if (!read) {
        if (!enteringFileEntry) return;  // the file shown stays
        if (!file_) {
            const QSignalBlocker quiet(source_);
            source_->setCurrentIndex(previousEntry_);
            return;
        }
    } else {
        // The program's own file rules: binary when the first byte is 0x00, else hex text.
        const EdidFileContent loaded = decodeEdidFile(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t *>(content.constData()),
            static_cast<std::size_t>(content.size())));
        LoadedFile chosen;
        chosen.name = QFileInfo(name).fileName();
        if (loaded.binary) {
            chosen.image = loaded.image;
        } else {
            chosen.formatError = EdidTextToBytes(loaded.text, chosen.image) < 0;
        }
        file_ = chosen;
        fileLabel_->setToolTip(name);
    }
    fileLabel_->setText(file_->name);
    otherFile_->show();
    decodeChosen();
}

void EdidDetailsWindow::decodeChosen() {
    if (!isVisible()) {
        stale_ = true;
        return;
    }
    stale_ = false;
    typingPause_->stop();  // this decode takes the latest text already
    const int entry = source_->currentIndex();
    EdidImage image{};
    if (entry == kManagerTextEntry) {
        const QByteArray text = managerText_.toUpper().toLatin1();
        const int values = EdidTextToBytes(
            std::string_view(text.constData(), static_cast<std::size_t>(text.size())), image);
        if (values < 0) return showNothingDecoded(tr("Hex Format Error"));
        if (values == 0) return showNothingDecoded(tr("The EDID manager text is empty."));
    } else if (entry == kDisplayEdidEntry) {
        if (!displayEdid_) {
            return showNothingDecoded(
                tr("No display EDID yet: read it with Read TV EDID in the EDID manager."));
        }
        image = *displayEdid_;
    } else if (entry == kFileEntry) {
        if (!file_) return showNothingDecoded(tr("No file chosen."));
        if (file_->formatError) return showNothingDecoded(tr("Hex Format Error"));
        image = file_->image;
    } else {
        const auto table = builtinEdid(entry);
        if (!table) return showNothingDecoded(QString());
        std::copy(table->begin(), table->end(), image.begin());
    }

    QStringList lines;
    for (const std::string &line : edidSummaryLines(summarizeEdid(edidPresentedBytes(image)))) {
        lines << fromUtf8(line);
    }
    summary_->setText(lines.join(QLatin1Char('\n')));
    startDecode(image);
}

void EdidDetailsWindow::showNothingDecoded(const QString &message) {
    ++request_;  // a decode still running is now out of date
    summary_->setText(message);
    verdict_->clear();
    failures_->clear();
    warnings_->clear();
    findings_->clear();
    decodeText_->clear();
    findStatus_->clear();
}

void EdidDetailsWindow::startDecode(const EdidImage &image) {
    const quint64 request = ++request_;
    verdict_->setText(tr("Decoding\u2026"));
    const std::span<const std::uint8_t> presented = edidPresentedBytes(image);
    std::vector<std::uint8_t> bytes(presented.begin(), presented.end());

    auto *watcher = new QFutureWatcher<EdidDecodeResult>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        const EdidDecodeResult result = watcher->result();
        watcher->deleteLater();
        const bool newest = request == request_;
        if (newest) showDecode(result);
        emit decodeFinished(request, newest);
    });
    // The task owns copies of everything it reads: the window may be gone when it ends.
    watcher->setFuture(QtConcurrent::run(&pool_, [bytes = std::move(bytes), options = options_] {
        return runEdidDecode(bytes, options);
    }));
}

void EdidDetailsWindow::showDecode(const EdidDecodeResult &result) {
    findings_->clear();
    failures_->clear();
    warnings_->clear();
    if (result.conformity) {
        const EdidConformity &c = *result.conformity;
        verdict_->setText(c.passed ? tr("Conformity: PASS") : tr("Conformity: FAIL"));
        const auto count = [](std::size_t n, const QString &one, const QString &many) {
            return n == 1 ? one : many.arg(n);
        };
        failures_->setText(count(c.failures.size(), tr("1 failure"), tr("%1 failures")));
        warnings_->setText(count(c.warnings.size(), tr("1 warning"), tr("%1 warnings")));
        for (const auto &[list, color] :
             {std::pair{&c.failures, kFailureColor}, std::pair{&c.warnings, kWarningColor}}) {
            for (const EdidFinding &f : *list) {
                auto *item = new QListWidgetItem(findingText(f), findings_);
                item->setForeground(color);
            }
        }
    } else {
        verdict_->setText(fromUtf8(edidDecodeProblem(result, options_)));
    }
    QString text = fromUtf8(result.output);
    if (!result.errors.empty()) {
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
        text += fromUtf8(result.errors);
    }
    decodeText_->setPlainText(text);
    findStatus_->clear();
}

void EdidDetailsWindow::find(bool backward) {
    const QString needle = findText_->text();
    if (needle.isEmpty()) return;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = decodeText_->find(needle, flags);
    if (!found) {
        // Wrap around: search again from the other end.
        QTextCursor cursor = decodeText_->textCursor();
        cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        decodeText_->setTextCursor(cursor);
        found = decodeText_->find(needle, flags);
    }
    findStatus_->setText(found ? QString() : tr("Not found"));
}
