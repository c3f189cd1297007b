// Every modal box and file dialog the program shows goes through this seam, so tests
// can script the answers and read back what was shown.
#pragma once

#include <QString>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Transport problem: warning box without parent window, caption " ", OK button.
    virtual void transportWarning(const QString &text) = 0;
    // Warning box with a title and one OK button; parent may be null.
    virtual void warning(QWidget *parent, const QString &title, const QString &text) = 0;
    // Yes/No question with an informative text; true for Yes. No default button.
    virtual bool question(QWidget *parent, const QString &title, const QString &text,
                          const QString &informativeText) = 0;
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual void about(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The real thing: QMessageBox and QFileDialog.
class WidgetDialogs final : public Dialogs {
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
};
