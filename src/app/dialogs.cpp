#include "app/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

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

namespace {

// A box titled with the program's name in full: its text is given room enough that the title is not cut.
void giveRoom(QMessageBox& box) {
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 320px; }"));
}

// A Yes/No box whose default button is No; true for Yes.
bool askDefaultNo(QWidget* parent, QMessageBox::Icon icon, const QString& text, const QString& detail,
                  std::optional<QPoint> position) {
    QMessageBox box(icon, QApplication::applicationName(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(detail);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    giveRoom(box);
    if (position)
        box.move(*position);
    const bool yes = box.exec() == QMessageBox::Yes;
    if (!yes)
        QApplication::beep();
    return yes;
}

} // namespace

void Dialogs::message(const QString& text, const QString& detail) {
    message(detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail);
}

bool Dialogs::confirmDefaultNo(const QString& text, const QString& detail) {
    return confirm(detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail);
}

bool Dialogs::warningQuestionDefaultNo(const QString& text, const QString& detail) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return confirmDefaultNo(shown, detail);
}

void WidgetDialogs::message(const QString& text) {
    QMessageBox::information(parent_, QApplication::applicationName(), text, QMessageBox::Ok);
}

void WidgetDialogs::message(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text, QMessageBox::Ok, parent_);
    box.setInformativeText(detail);
    box.setDefaultButton(QMessageBox::Ok);
    giveRoom(box);
    box.exec();
}

bool WidgetDialogs::confirmDefaultNo(const QString& text, const QString& detail) {
    return askDefaultNo(parent_, QMessageBox::Question, text, detail, std::nullopt);
}

bool WidgetDialogs::warningQuestionDefaultNo(const QString& text, const QString& detail) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return askDefaultNo(parent_, QMessageBox::Warning, shown, detail, QPoint(350, 400));
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
