// The window with the simulated stick behind it, as the program runs with LUMEQ_SIMULATOR set.

#include "guitest.h"
#include "windowrun.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using lumeq::MainWindow;
using lumeq::SimState;

class SimulatorStartupTest : public QObject {
    Q_OBJECT

private slots:
    void stickPluggedInDuringDemoModeRestartsTheProgram() {
        WindowRun run;
        run.save(SimState::noStick());
        run.startSimulated({"-showLog", "-dc=1", "site 7"});
        QCOMPARE(run.window->windowTitle(), QString("Demo Mode"));
        auto* poll = run.find<QTimer>("Timer2");
        QVERIFY(poll->isActive());

        QSignalSpy polls(poll, &QTimer::timeout);
        QTRY_VERIFY(polls.count() >= 2); // polls with the stick still absent
        QVERIFY(run.restarts.isEmpty());

        run.save(SimState::stickAlone());
        QTRY_COMPARE(run.restarts.size(), 1); // noticed at the next poll
        QCOMPARE(lumeq::joinParams(run.restarts.first()), QString(" -showLog site 7"));
    }

    void simulatedStickAloneStartsStickMode() {
        WindowRun run;
        SimState state = SimState::stickAlone();
        state.stick.firmwareVersion = 3;
        run.save(state);
        run.startSimulated();
        QCOMPARE(run.window->windowTitle(), QString("USB Stick"));
        QVERIFY(run.window->isStickMode());
        QVERIFY(!run.window->isDemo());
    }
};

LUMEQ_GUI_TEST(SimulatorStartupTest)
#include "simulator_startup_test.moc"
