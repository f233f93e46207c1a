#pragma once
// The real main window for a test: on a fake stick (answers queued by the test) or on the simulated
// stick and module of a state file (LUMEQ_SIMULATOR), with its dialogs and self-restart answered by the
// test and its waits shortened through MainWindow::Timing.

#include "app/mainwindow.h"
#include "fakestick.h"
#include "link/simstate.h"
#include "link/stickaccess.h"
#include "scripteddialogs.h"

#include <QLineEdit>
#include <QMetaEnum>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

struct WindowRun {
    FakeStick::State stick;
    ScriptedDialogs::Script dialogs;
    QTemporaryDir dir; // the program's directory
    std::unique_ptr<lumeq::MainWindow> window;
    QList<QStringList> restarts; // arguments of every self-restart asked for

    ~WindowRun() {
        qunsetenv("LUMEQ_SIMULATOR");
        if (previousLog_)
            qputenv("LUMEQ_LOG_FILE", *previousLog_);
    }

    // Writes of this run go to a log of programmed modules in its own folder (until the run ends); the path.
    QString ownLog(const QString& name = QStringLiteral("programmed.log")) {
        if (!previousLog_)
            previousLog_ = qgetenv("LUMEQ_LOG_FILE");
        const QString path = dir.filePath(name);
        qputenv("LUMEQ_LOG_FILE", path.toLocal8Bit());
        return path;
    }

    // Start-up waits of a few milliseconds: a block arrives within the passes as Timer1 (50 ms) collects it.
    static lumeq::MainWindow::Timing fastTiming() {
        lumeq::MainWindow::Timing t;
        t.passMs = 10;
        t.maxPass = 60;
        t.demoPauseMs = 0;
        t.pollMs = 20;
        return t;
    }

    // The window on the fake stick, not yet shown.
    void createWindow(const QStringList& parameters, const lumeq::MainWindow::Timing& timing = fastTiming()) {
        setUp(std::make_unique<FakeStick>(&stick), parameters, timing);
    }
    void start(const QStringList& parameters = {}, const lumeq::MainWindow::Timing& timing = fastTiming()) {
        createWindow(parameters, timing);
        window->show();
    }
    // Starts without a stick and waits until the default image is on show.
    void startDemo(const QStringList& parameters = {}) {
        start(parameters);
        QTRY_VERIFY(window->startupFinished());
    }

    // The simulator's state file, in the program's directory.
    QString statePath() const { return dir.filePath(QStringLiteral("stick.ini")); }
    void save(const lumeq::SimState& state) {
        std::string error;
        QVERIFY2(state.save(statePath().toStdString(), &error), error.c_str());
    }
    lumeq::SimState load() const {
        const auto loaded = lumeq::SimState::load(statePath().toStdString());
        return loaded.state.value_or(lumeq::SimState::noStick());
    }
    // Starts the window on the simulator (the state saved before) and waits for the end of start-up.
    void startSimulated(const QStringList& parameters = {}, const lumeq::MainWindow::Timing& timing = fastTiming()) {
        qputenv("LUMEQ_SIMULATOR", statePath().toLocal8Bit());
        setUp(lumeq::createStickAccess(), parameters, timing);
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(window->startupFinished(), 15000);
    }

    template <typename T = QWidget> T* find(const QString& name) const {
        T* widget = window->findChild<T*>(name);
        if (!widget)
            qWarning("no widget %s", qPrintable(name));
        return widget;
    }
    void click(const QString& name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    QLineEdit* info() const { return find<QLineEdit>(QStringLiteral("eInfo")); }
    lumeq::ModuleSession& session() const { return *window->moduleSession(); }
    // A module Transfer or Erase ALL runs with the window's events going on: waits for its end.
    void waitForWrite() const { QTRY_VERIFY_WITH_TIMEOUT(!window->moduleSession()->writing(), 20000); }

    // The action buttons on show, in the order of MainWindow::Action.
    QStringList visibleActionButtons() const {
        QStringList shown;
        const QMetaEnum actions = QMetaEnum::fromType<lumeq::MainWindow::Action>();
        for (int i = 0; i < actions.keyCount(); ++i) {
            const QString name =
                lumeq::MainWindow::actionName(static_cast<lumeq::MainWindow::Action>(actions.value(i)));
            if (find(name)->isVisible())
                shown << name;
        }
        return shown;
    }

private:
    std::optional<QByteArray> previousLog_; // LUMEQ_LOG_FILE before ownLog()

    void setUp(std::unique_ptr<lumeq::StickAccess> access, const QStringList& parameters,
               const lumeq::MainWindow::Timing& timing) {
        window = std::make_unique<lumeq::MainWindow>(std::move(access), dir.path() + "/", parameters);
        window->setTiming(timing);
        window->setRestartHandler([this](const QStringList& args) { restarts.append(args); });
        window->setDialogs(std::make_unique<ScriptedDialogs>(&dialogs));
    }
};
