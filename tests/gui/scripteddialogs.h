#pragma once
// Dialogs answered by the test: the next file name to give, and a record of every message.

#include "app/dialogs.h"

#include <QStringList>

#include <optional>

class ScriptedDialogs : public lumeq::Dialogs {
public:
    struct Script {
        QString nextFile; // answer of the next file dialog (empty: the user cancels)
        bool confirmAnswer = true;
        QStringList messages;    // every message shown, in order
        QStringList details;     // the detail line of every message or question that has one, in order
        // Every question asked with No as its default button (its text), in order.
        QStringList defaultNoQuestions;
        // Answer of those questions; unset: confirmAnswer.
        std::optional<bool> defaultNoAnswer;
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
    void message(const QString& text, const QString& detail) override {
        s_->messages << text;
        s_->details << detail;
    }
    bool confirmDefaultNo(const QString& text, const QString& detail) override {
        s_->messages << text;
        s_->details << detail;
        s_->defaultNoQuestions << text;
        return s_->defaultNoAnswer.value_or(s_->confirmAnswer);
    }
    bool warningQuestionDefaultNo(const QString& text, const QString& detail) override {
        return confirmDefaultNo(text, detail);
    }
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
