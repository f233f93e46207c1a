#pragma once
// The real main window on a fake stick, with its dialogs and self-restart answered by the test.

#include "app/mainwindow.h"
#include "fakestick.h"
#include "scripteddialogs.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

struct WindowRun {
    FakeStick::State stick;
    ScriptedDialogs::Script dialogs;
    QTemporaryDir dir; // the program's directory
    std::unique_ptr<lumeq::MainWindow> window;
    QList<QStringList> restarts; // arguments of every self-restart asked for

    static lumeq::MainWindow::Timing noDemoPause() {
        lumeq::MainWindow::Timing timing;
        timing.demoPauseMs = 0;
        return timing;
    }

    void createWindow(const QStringList& parameters, const lumeq::MainWindow::Timing& timing) {
        window = std::make_unique<lumeq::MainWindow>(std::make_unique<FakeStick>(&stick), dir.path() + "/", parameters);
        window->setTiming(timing);
        window->setRestartHandler([this](const QStringList& args) { restarts.append(args); });
        window->setDialogs(std::make_unique<ScriptedDialogs>(&dialogs));
    }
    void start(const QStringList& parameters, const lumeq::MainWindow::Timing& timing) {
        createWindow(parameters, timing);
        window->show();
    }
    // Starts without a stick and waits until the default image is on show.
    void startDemo(const QStringList& parameters = {}) {
        start(parameters, noDemoPause());
        QTRY_VERIFY(window->startupFinished());
    }

    template <typename T = QWidget> T* find(const QString& name) const { return window->findChild<T*>(name); }
    void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
};
