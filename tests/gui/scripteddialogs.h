#pragma once
// Dialogs answered by the test: the next file name to give, and a record of every message.

#include "app/dialogs.h"

#include <QStringList>

class ScriptedDialogs : public lumeq::Dialogs {
public:
    struct Script {
        QString nextFile; // answer of the next file dialog (empty: the user cancels)
        bool confirmAnswer = true;
        QStringList messages;    // every message shown, in order
        QStringList fileDialogs; // titles of the file dialogs shown
    };

    explicit ScriptedDialogs(Script* script) : s_(script) {}

    QString openFile(const QString& title, const QStringList&) override {
        s_->fileDialogs << title;
        return s_->nextFile;
    }
    QString saveFile(const QString& title, const QString&, const QString&) override {
        s_->fileDialogs << title;
        return s_->nextFile;
    }
    void message(const QString& text) override { s_->messages << text; }
    bool confirm(const QString& text) override {
        s_->messages << text;
        return s_->confirmAnswer;
    }
    bool choose(const QString& text, const QString&, const QString&) override {
        s_->messages << text;
        return s_->confirmAnswer;
    }

private:
    Script* s_;
};
