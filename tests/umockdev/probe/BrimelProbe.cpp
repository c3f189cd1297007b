// A Qt generic plugin the end-to-end test loads into the real brimel
// (QT_QPA_GENERIC_PLUGINS=brimelprobe): once the main window is shown it writes what
// the window shows to $BRIMEL_PROBE_REPORT, saves a grab of it to $BRIMEL_PROBE_SHOT
// and closes it. Modal boxes are written down and dismissed, so none blocks the run.
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QGenericPlugin>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

namespace {

class Probe : public QObject {
public:
    Probe() : report_(qEnvironmentVariable("BRIMEL_PROBE_REPORT")) {
        report_.open(QIODevice::WriteOnly | QIODevice::Truncate);
        connect(&timer_, &QTimer::timeout, this, &Probe::look);
        timer_.start(20);
    }

private:
    // One line per finding: kind, then tab-separated fields (line breaks escaped).
    void write(QStringList fields) {
        for (QString &f : fields) f.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        report_.write(fields.join(QLatin1Char('\t')).toUtf8() + '\n');
        report_.flush();
    }

    void look() {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (!dialog || !dialog->isVisible()) continue;
            const auto *box = qobject_cast<QMessageBox *>(dialog);
            write({QStringLiteral("box"), dialog->windowTitle(), box ? box->text() : QString()});
            dialog->reject();
        }
        if (closing_) return;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<QMainWindow *>(w);
            if (!window || !window->isVisible()) continue;
            closing_ = true;
            write({QStringLiteral("window"), window->windowTitle()});
            for (const QLabel *label : window->findChildren<QLabel *>())
                write({QStringLiteral("label"), label->objectName(), label->text(),
                       label->isVisibleTo(window) ? QStringLiteral("shown")
                                                  : QStringLiteral("hidden")});
            const QPixmap shot = window->grab();
            const QString path = qEnvironmentVariable("BRIMEL_PROBE_SHOT");
            if (!path.isEmpty() && shot.save(path, "PNG"))
                write({QStringLiteral("grab"),
                       QStringLiteral("%1x%2").arg(shot.width()).arg(shot.height())});
            write({QStringLiteral("close")});
            window->close();
            return;
        }
    }

    QFile report_;
    QTimer timer_;
    bool closing_ = false;
};

}  // namespace

class ProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "brimelprobe.json")

public:
    // Qt owns the object and deletes it with the application.
    QObject *create(const QString &key, const QString &) override {
        return key.compare(QLatin1String("brimelprobe"), Qt::CaseInsensitive) == 0 ? new Probe
                                                                                   : nullptr;
    }
};

#include "BrimelProbe.moc"
