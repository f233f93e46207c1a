// Start-up of the real window: demo mode, the stick branch, polling and the self-restart.

#include "app/mainwindow.h"
#include "guitest.h"
#include "model/image.h"
#include "windowrun.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using lumeq::MainWindow;

namespace {

// Short passes, a demo pause long enough to see "Demo Mode" on its own, and a quick poll.
MainWindow::Timing startupTiming() {
    MainWindow::Timing t = WindowRun::fastTiming();
    t.passMs = 2;
    t.maxPass = 30;
    t.demoPauseMs = 150;
    return t;
}

// Lets the demo-mode poll run a few times.
void waitForPolls(int polls = 3) {
    QTest::qWait(polls * startupTiming().pollMs);
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    struct Run : WindowRun {
        void createWindow(const QStringList& parameters, const MainWindow::Timing& timing = startupTiming()) {
            WindowRun::createWindow(parameters, timing);
        }
        void start(const QStringList& parameters, const MainWindow::Timing& timing = startupTiming()) {
            WindowRun::start(parameters, timing);
        }
        bool finished() const { return window->startupFinished(); }
    };

signals:
    void captionChanged(const QString& caption);

private slots:
    void demoModeShowsTheDefaultImageAfterThePause() {
        Run run;
        // What the window looks like the moment the caption turns to "Demo Mode" (start-up is busy then).
        struct Seen {
            bool logo = false, disabled = false, imageEmpty = false, noButtons = false;
        } seen;
        bool captionSeen = false;
        connect(this, &StartupTest::captionChanged, this, [&](const QString& caption) {
            if (caption != "Demo Mode" || captionSeen)
                return;
            captionSeen = true;
            seen.logo = run.find("pLogo")->isVisible();
            seen.disabled = run.window->isFormDisabled();
            seen.imageEmpty = run.window->image() == lumeq::Image(128, 0);
            seen.noButtons = run.visibleActionButtons().isEmpty();
        });
        run.createWindow({});
        connect(run.window.get(), &QWidget::windowTitleChanged, this, &StartupTest::captionChanged);
        run.window->show();
        QCOMPARE(run.window->size(), QSize(1039, 623));
        QTRY_VERIFY(captionSeen);
        QVERIFY(seen.logo);
        QVERIFY(seen.disabled);
        QVERIFY(seen.imageEmpty);
        QVERIFY(seen.noButtons);

        QTRY_VERIFY(run.finished());
        QCOMPARE(run.window->image(), lumeq::defaultImage());
        QCOMPARE(run.visibleActionButtons(), QStringList({"bLoad", "bSave", "bPdf"}));
        QVERIFY(!run.window->isFormDisabled());
        QVERIFY(run.window->isDemo());
        QVERIFY(!run.find("pLogo")->isVisible());
        QVERIFY(run.find("cbShowHints")->isVisible());
        QCOMPARE(run.find<QLabel>("pVersion")->text(), QString("Ver.:2.20c"));
        for (const char* name : {"bM1", "bM2", "bM3", "bM4", "cbStickDebug", "gbLog", "l60Hz"})
            QVERIFY2(!run.find(name)->isVisible(), name);
        QVERIFY(run.find<QTimer>("Timer2")->isActive());
        QVERIFY(!run.find<QTimer>("Timer1")->isActive());
        QVERIFY(!run.window->stickState()); // no stick mode
    }

    void everyWidgetHasItsControlName() {
        Run run;
        run.start({});
        QTRY_VERIFY(run.finished());
        // The parts Qt makes inside its own widgets (a combo box's list, a scroll area's bars) are not ours.
        const auto insideQtWidget = [](const QWidget* widget) {
            for (const QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget())
                if (qobject_cast<const QComboBox*>(parent) || parent->objectName().startsWith("qt_"))
                    return true;
            return false;
        };
        QStringList unnamed;
        for (QWidget* widget : run.window->findChildren<QWidget*>())
            if (widget->objectName().isEmpty() && !insideQtWidget(widget))
                unnamed
                    << QString("%1 in %2").arg(widget->metaObject()->className(), widget->parentWidget()->objectName());
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    }

    void withoutTheLibraryNobodyPolls() {
        Run run;
        run.stick.loaded = false;
        run.stick.present = true; // never asked: the library is missing
        run.start({});
        QTRY_VERIFY(run.finished());
        QVERIFY(run.window->isDemo());
        QCOMPARE(run.stick.findCalls, 0);
        QVERIFY(!run.find<QTimer>("Timer2")->isActive());
        waitForPolls();
        QVERIFY(run.restarts.isEmpty());
    }

    void pluggedInStickRestartsWithTheParameters_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QString>("restartParams");
        QTest::newRow("none") << QStringList() << QString();
        QTest::newRow("debug, curve, word") << QStringList{"-debug", "-dc=3", "word"} << QString(" -debug word");
        QTest::newRow("case differs") << QStringList{"-SkipFW"} << QString(" -SkipFW");
    }
    void pluggedInStickRestartsWithTheParameters() {
        QFETCH(QStringList, parameters);
        QFETCH(QString, restartParams);
        Run run;
        run.start(parameters);
        QTRY_VERIFY(run.finished());
        const int atStartUp = run.stick.findCalls;
        QTRY_VERIFY(run.stick.findCalls >= atStartUp + 2); // polls with the stick still absent
        QVERIFY(run.restarts.isEmpty());
        run.stick.present = true;
        QTRY_COMPARE(run.restarts.size(), 1);
        QCOMPARE(lumeq::joinParams(run.restarts.first()), restartParams);
        QCOMPARE(run.window->restartParams(), restartParams);
        QVERIFY(!run.find<QTimer>("Timer2")->isActive());
        const int atRestart = run.stick.findCalls;
        waitForPolls();
        QCOMPARE(run.stick.findCalls, atRestart);
        QCOMPARE(run.restarts.size(), 1);
    }

    void restartThatCannotStartKeepsTheProgramRunning() {
        Run run;
        run.createWindow({"-x"});
        run.window->setRestartHandler({}); // the real restart, of a program file that is not there
        run.window->setRestartProgram(run.dir.filePath("gone/lumeq-config"));
        run.window->show();
        QTRY_VERIFY(run.finished());
        run.stick.present = true; // the demo-mode poll restarts the program
        QTRY_COMPARE(run.dialogs.messages.size(), 1);
        const QString said = run.dialogs.messages.first();
        QVERIFY2(said.contains("could not start again") && said.contains("gone/lumeq-config"), qPrintable(said));
        QVERIFY(run.window->isVisible());
        QVERIFY(!run.find<QTimer>("Timer2")->isActive()); // asked once, not every second
        QVERIFY(!run.window->isFormDisabled());
    }

    void shortControlBlockCountsAsNoAnswer() {
        Run run;
        run.stick.present = true;
        // A header for 64 bytes and eight reports: half a directory, which must never be written back.
        run.stick.answers.push_back({0xC0, 0x44, 0, 0, 0x40, 0, 0, 0});
        for (int i = 0; i < 8; ++i)
            run.stick.answers.push_back({0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x00});
        run.start({});
        QTRY_VERIFY(run.finished());
        QVERIFY(!run.window->moduleSession()->moduleAnswered());
        QCOMPARE(run.dialogs.messages.size(), 1);
        QVERIFY(run.dialogs.messages.first().contains("did not answer"));
        run.click("bM1");
        QCOMPARE(run.dialogs.messages.size(), 2);
        QVERIFY(run.visibleActionButtons().isEmpty()); // no Transfer, no Erase ALL
        QCOMPARE(run.stick.written.size(), size_t(1)); // the request, nothing else
    }

    void commandIniBeatsTheCommandLine() {
        Run run;
        {
            QFile ini(run.dir.path() + "/command.ini");
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Commands]\neraseAll=1\n");
        }
        // The curve parameter is the program's own restart parameter: taken even with command.ini.
        QVERIFY(QDir(run.dir.path()).mkpath("DimmingCurve"));
        for (const char* name : {"a.dc", "b.dc", "c.dc"}) {
            QFile curve(run.dir.path() + "/DimmingCurve/" + name);
            QVERIFY(curve.open(QIODevice::WriteOnly));
            for (int level = 0; level <= 100; ++level)
                curve.write(QByteArray::number(level) + '\n');
        }
        run.start({"-skipFW", "-debug", "-dc=2"});
        QTRY_VERIFY(run.finished());
        QVERIFY(run.window->options().enableErase);
        QVERIFY(!run.window->options().skipFW);
        QVERIFY(!run.window->options().debugMode);
        QCOMPARE(run.window->curveIndex(), 2);
        run.stick.present = true;
        QTRY_COMPARE(run.restarts.size(), 1);
        QVERIFY(run.restarts.first().isEmpty());
    }

    void debugOptionBringsTheDebugPanelUp() {
        Run plain;
        plain.start({});
        QTRY_VERIFY(plain.finished());
        Run debug;
        debug.start({"-debug"});
        QTRY_VERIFY(debug.finished());
        QCOMPARE(debug.find("pDebug")->y(), plain.find("pDebug")->y() - 1000);
        QVERIFY(debug.find("pDebug")->geometry().intersects(debug.window->rect()));
        QVERIFY(!plain.find("pDebug")->geometry().intersects(plain.window->rect()));
        // Up is not shown: the panel waits for "Debug" (only offered in stick mode).
        QVERIFY(!debug.find("pDebug")->isVisible());
    }

    void debugPanelShowsOnlyWhileDebugIsTicked() {
        Run run;
        run.stick.present = true;
        run.stick.answers.push_back({0xB2, 0x50, 0, 0, 0, 0, 0, 0});
        run.start({"-debug"});
        QTRY_VERIFY(run.finished());
        auto* debug = run.find<QCheckBox>("cbStickDebug");
        QVERIFY(debug->isVisible());
        QVERIFY(!run.find("pDebug")->isVisible());
        debug->setChecked(true);
        QVERIFY(run.find("pDebug")->isVisible());
        QVERIFY(run.find("pDebug")->geometry().intersects(run.window->rect()));
        debug->setChecked(false);
        QVERIFY(!run.find("pDebug")->isVisible());
    }

    void stickWithoutAnswerSaysSoAndKeepsLoadingWithDots() {
        Run run;
        run.stick.present = true;
        run.start({});
        QTRY_VERIFY(run.finished());
        // 31 passes: dots in passes 0, 10, 20 and 30.
        QCOMPARE(run.window->windowTitle(), QString("Loading...."));
        QVERIFY(!run.window->isDemo());
        QVERIFY(run.window->isFormDisabled());
        QCOMPARE(run.stick.written.size(), size_t(1));
        const std::vector<std::uint8_t> request{0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0x00, 0x00};
        QVERIFY(run.stick.written.front() == request);
        for (const char* name : {"bM1", "bM2", "bM3", "bM4"})
            QVERIFY2(run.find(name)->isVisible(), name);
        QVERIFY(run.visibleActionButtons().isEmpty());
        QVERIFY(!run.find<QTimer>("Timer2")->isActive());
        QCOMPARE(run.dialogs.messages.size(), 1);
        QVERIFY(run.dialogs.messages.first().contains("did not answer"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void stickAnsweringItselfStartsStickMode_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("debugShown");
        QTest::newRow("plain") << QStringList() << false;
        QTest::newRow("debug") << QStringList{"-debug"} << true;
    }
    void stickAnsweringItselfStartsStickMode() {
        QFETCH(QStringList, parameters);
        QFETCH(bool, debugShown);
        Run run;
        run.stick.present = true;
        run.stick.answers.push_back({0xB2, 0x50, 0, 0, 0, 0, 0, 0});
        run.start(parameters);
        QTRY_VERIFY(run.finished());
        QCOMPARE(run.window->windowTitle(), QString("USB Stick"));
        QVERIFY(run.window->isStickMode());
        QCOMPARE(run.window->stickState(), std::optional(lumeq::StickState::Waiting));
        QVERIFY(!run.find<QTimer>("Timer1")->isActive());
        QCOMPARE(run.find("cbStickDebug")->isVisible(), debugShown);
        for (const char* name : {"bM1", "bM2", "bM3", "bM4"})
            QVERIFY2(!run.find(name)->isVisible(), name);
    }

    void moduleAnsweringStartsModuleMode() {
        Run run;
        run.stick.present = true;
        run.stick.answers.push_back({0xC0, 0x44, 0, 0, 0x80, 0, 0, 0});
        for (int i = 0; i < 16; ++i)
            run.stick.answers.push_back(std::vector<std::uint8_t>(8, std::uint8_t(i)));
        run.start({}, [] {
            auto t = startupTiming();
            t.passMs = 50; // Timer1 ticks every 50 ms: sixteen reports take about a second
            return t;
        }());
        QTRY_VERIFY_WITH_TIMEOUT(run.finished(), 5000);
        QCOMPARE(run.window->windowTitle(), QString("Lumeq"));
        QVERIFY(!run.window->isStickMode());
        QVERIFY(run.window->isFormDisabled()); // until a slot is chosen
        for (const char* name : {"bM1", "bM2", "bM3", "bM4"})
            QVERIFY2(run.find(name)->isVisible(), name);
    }

    void actionButtonsPerMode() {
        Run run;
        run.start({"-eraseAll"});
        QTRY_VERIFY(run.finished());
        run.window->enableButtons();
        QCOMPARE(run.visibleActionButtons(),
                 QStringList({"bMemCancel", "bErase", "bMemClear", "bMemStore", "bLoad", "bSave", "bPdf"}));
        QVERIFY(run.find("eInfo")->isVisible());
        QVERIFY(run.find("lInfo")->isVisible());
        run.window->disableButtons();
        QVERIFY(run.visibleActionButtons().isEmpty());
        QVERIFY(!run.find("eInfo")->isVisible());
    }
};

LUMEQ_GUI_TEST(StartupTest)
#include "startup_test.moc"
