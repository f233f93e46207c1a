#pragma once
// The common part of the editor tests' rigs: a shown test host with the editor set, widgets found by their
// control names, and clicks that land where a user's would (a check box or radio button on its indicator).

#include "testhost.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

class EditorRig {
public:
    explicit EditorRig(lumeq::Image image = lumeq::defaultImage()) : host(std::move(image)) {
        host.window()->show();
        if (!QTest::qWaitForWindowExposed(host.window()))
            qFatal("the test window was not exposed");
    }

    template <typename T = QWidget> T* find(const QString& name) {
        T* widget = host.window()->findChild<T*>(name);
        if (widget == nullptr)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }
    // A check box or radio button takes clicks on its indicator and caption only: click the indicator.
    void click(QWidget* widget, QPoint at = {}) {
        if (at.isNull()) {
            const bool indicator = qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
            at = indicator ? QPoint(8, widget->height() / 2) : widget->rect().center();
        }
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    }
    void click(const QString& name) { click(find(name)); }
    bool shown(const QString& name) { return find(name)->isVisible(); }
    // Pictures of the diagram: on show unless hidden (the test window may be covered by a panel).
    bool pictureShown(const QString& name) { return !find(name)->isHidden(); }

    TestHost host;
};
