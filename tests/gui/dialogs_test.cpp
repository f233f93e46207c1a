// The real message boxes of the window's dialogs: a question about something that cannot be undone has No
// as its default button (Enter and Escape both answer No), the program's name in full as its title, and
// the detail line under its text; a message with a detail shows both.

#include "app/dialogs.h"
#include "guitest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

struct Seen {
    QString title;
    QString text;
    QString detail;
    QString defaultButton;
};

// Waits for the next message box, notes what it shows and presses `key` in it.
void answerNextBox(Seen& seen, Qt::Key key) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &seen, key] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.detail = box->informativeText();
        seen.defaultButton = box->defaultButton() ? box->defaultButton()->text().remove('&') : QString();
        QTest::keyClick(box, key);
    });
    poll->start(10);
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        previousName_ = QApplication::applicationName();
        QApplication::setApplicationName(QStringLiteral("Lumeq Config"));
    }
    void cleanupTestCase() { QApplication::setApplicationName(previousName_); }

    void questionsThatCannotBeUndoneDefaultToNo_data() {
        QTest::addColumn<bool>("warning");
        QTest::addColumn<int>("key");
        QTest::newRow("Default / Erase ALL, Enter") << false << int(Qt::Key_Return);
        QTest::newRow("Default / Erase ALL, Escape") << false << int(Qt::Key_Escape);
        QTest::newRow("older firmware, Enter") << true << int(Qt::Key_Return);
    }
    void questionsThatCannotBeUndoneDefaultToNo() {
        QFETCH(bool, warning);
        QFETCH(int, key);
        lumeq::WidgetDialogs dialogs(nullptr);
        Seen seen;
        answerNextBox(seen, Qt::Key(key));
        const QString detail = QStringLiteral("Erase ALL wipes all four slots and the directory of this module.");
        const bool yes = warning ? dialogs.warningQuestionDefaultNo(QStringLiteral("Update?\rReally?"), detail)
                                 : dialogs.confirmDefaultNo(QStringLiteral("Are youe sure?"), detail);
        QVERIFY(!yes);
        QCOMPARE(seen.defaultButton, QStringLiteral("No"));
        QCOMPARE(seen.title, QStringLiteral("Lumeq Config"));
        QCOMPARE(seen.text, warning ? QStringLiteral("Update?\nReally?") : QStringLiteral("Are youe sure?"));
        QCOMPARE(seen.detail, detail);
    }

    void messageWithADetailLine() {
        lumeq::WidgetDialogs dialogs(nullptr);
        Seen seen;
        answerNextBox(seen, Qt::Key_Return);
        dialogs.message(QStringLiteral("Firmware Write Error!CF"),
                        QStringLiteral("The module answered that the block was not written at address 8000."));
        QCOMPARE(seen.text, QStringLiteral("Firmware Write Error!CF"));
        QCOMPARE(seen.detail, QStringLiteral("The module answered that the block was not written at address 8000."));
        QCOMPARE(seen.defaultButton, QStringLiteral("OK"));
    }

private:
    QString previousName_;
};

LUMEQ_GUI_TEST(DialogsTest)
#include "dialogs_test.moc"
