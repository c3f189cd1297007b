// QMessageBox / QFileDialog implementation of the dialog seam.
#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

void WidgetDialogs::transportWarning(const QString &text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral(" "), text, QMessageBox::Ok);
    box.exec();
}

void WidgetDialogs::warning(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

bool WidgetDialogs::question(QWidget *parent, const QString &title, const QString &text,
                             const QString &informativeText) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    box.setInformativeText(informativeText);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString WidgetDialogs::openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString WidgetDialogs::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

void WidgetDialogs::about(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox::about(parent, title, text);
}
