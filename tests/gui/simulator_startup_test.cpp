// The window with the simulated stick behind it, as the program runs with LUMEQ_SIMULATOR set.

#include "app/mainwindow.h"
#include "link/simstate.h"
#include "link/stickaccess.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using lumeq::MainWindow;
using lumeq::SimState;

class SimulatorStartupTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString statePath() const { return dir.filePath("stick.ini"); }
    void save(const SimState& state) {
        std::string error;
        QVERIFY2(state.save(statePath().toStdString(), &error), error.c_str());
    }

private slots:
    void init() { qputenv("LUMEQ_SIMULATOR", statePath().toLocal8Bit()); }
    void cleanup() { qunsetenv("LUMEQ_SIMULATOR"); }

    void stickPluggedInDuringDemoModeRestartsTheProgram() {
        save(SimState::noStick());
        QStringList restart;
        int restarts = 0;
        MainWindow window(lumeq::createStickAccess(), dir.path() + "/", {"-showLog", "-dc=1", "site 7"});
        MainWindow::Timing timing;
        timing.demoPauseMs = 100; // polling keeps its real interval of one second
        window.setTiming(timing);
        window.setRestartHandler([&](const QStringList& args) {
            restart = args;
            ++restarts;
        });
        window.show();
        QTRY_VERIFY(window.startupFinished());
        QCOMPARE(window.windowTitle(), QString("Demo Mode"));
        QVERIFY(window.findChild<QTimer*>("Timer2")->isActive());

        QTest::qWait(1300); // more than one poll with the stick still absent
        QCOMPARE(restarts, 0);

        save(SimState::stickAlone());
        QTRY_COMPARE_WITH_TIMEOUT(restarts, 1, 3000); // noticed at the next poll
        QCOMPARE(lumeq::joinParams(restart), QString(" -showLog site 7"));
    }

    void simulatedStickAloneStartsStickMode() {
        SimState state = SimState::stickAlone();
        state.stick.firmwareVersion = 3;
        save(state);
        MainWindow window(lumeq::createStickAccess(), dir.path() + "/", {});
        MainWindow::Timing timing;
        timing.maxPass = 40;
        window.setTiming(timing);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.startupFinished(), 5000);
        QCOMPARE(window.windowTitle(), QString("USB Stick"));
        QVERIFY(window.isStickMode());
        QVERIFY(!window.isDemo());
    }
};

QTEST_MAIN(SimulatorStartupTest)
#include "simulator_startup_test.moc"
