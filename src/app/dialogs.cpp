#include "app/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace lumeq {

QString WidgetDialogs::openFile(const QString& title, const QStringList& filters) {
    QFileDialog dialog(parent_, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString WidgetDialogs::saveFile(const QString& title, const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent_, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    // An existing file is replaced without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void WidgetDialogs::message(const QString& text) {
    QMessageBox::information(parent_, QApplication::applicationName(), text, QMessageBox::Ok);
}

bool WidgetDialogs::confirm(const QString& text) {
    const bool yes = QMessageBox::question(parent_, QApplication::applicationName(), text,
                                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (!yes)
        QApplication::beep();
    return yes;
}

bool WidgetDialogs::choose(const QString& text, const QString& accept, const QString& reject) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text, QMessageBox::NoButton, parent_);
    QPushButton* yes = box.addButton(accept, QMessageBox::AcceptRole);
    box.addButton(reject, QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

bool Dialogs::warningQuestion(const QString& text) {
    return choose(text, QStringLiteral("Yes"), QStringLiteral("No"));
}

bool WidgetDialogs::warningQuestion(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), shown, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    box.move(350, 400);
    return box.exec() == QMessageBox::Yes;
}

void WidgetDialogs::beep() {
    QApplication::beep();
}

} // namespace lumeq
