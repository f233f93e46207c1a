#pragma once
// The window's dialogs and message boxes behind one small interface, so that tests can answer them.

#include <QString>
#include <QStringList>

class QWidget;

namespace lumeq {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A file to open (it must exist); empty when the user cancels. `filters` in Qt's form
    // ("Configuration files (*.qcf)"); the first one is selected.
    virtual QString openFile(const QString& title, const QStringList& filters) = 0;
    // A file to save to; `defaultSuffix` is added when the user types a name without one. Empty when
    // the user cancels.
    virtual QString saveFile(const QString& title, const QString& filter, const QString& defaultSuffix) = 0;
    // A message box with an OK button.
    virtual void message(const QString& text) = 0;
    // The same with a detail line under the text: the reason and what to check. Unless a subclass shows
    // it apart, the detail follows the text after a blank line.
    virtual void message(const QString& text, const QString& detail);
    // A Yes/No question; No sounds the default beep.
    virtual bool confirm(const QString& text) = 0;
    // A Yes/No question about something that cannot be undone: No is the default button, `detail` says
    // what is lost. True for Yes; No (and closing the box) sound the default beep. Unless a subclass
    // shows it apart, it is asked as confirm(text, then a blank line and the detail).
    virtual bool confirmDefaultNo(const QString& text, const QString& detail);
    // A question with two named answers, no beep: true for `accept`, false for `reject` (and for closing
    // the box).
    virtual bool choose(const QString& text, const QString& accept, const QString& reject) = 0;
    // A warning with the buttons Yes and No (the firmware question); a carriage return in the text starts a
    // new line. Unless a subclass shows a warning box, it is asked as choose(text, "Yes", "No").
    virtual bool warningQuestion(const QString& text);
    // The same warning with a detail line under the text and No as the default button (an update that
    // would install older firmware). Unless a subclass shows it apart, it is asked as confirmDefaultNo.
    virtual bool warningQuestionDefaultNo(const QString& text, const QString& detail);
    // The system's default beep (a refused firmware update).
    virtual void beep() {}
};

// The real dialogs, parented to the window.
class WidgetDialogs : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent) : parent_(parent) {}

    QString openFile(const QString& title, const QStringList& filters) override;
    QString saveFile(const QString& title, const QString& filter, const QString& defaultSuffix) override;
    void message(const QString& text) override;
    void message(const QString& text, const QString& detail) override;
    bool confirm(const QString& text) override;
    bool confirmDefaultNo(const QString& text, const QString& detail) override;
    bool choose(const QString& text, const QString& accept, const QString& reject) override;
    // At screen position (350, 400).
    bool warningQuestion(const QString& text) override;
    bool warningQuestionDefaultNo(const QString& text, const QString& detail) override;
    void beep() override;

private:
    QWidget* parent_;
};

} // namespace lumeq
