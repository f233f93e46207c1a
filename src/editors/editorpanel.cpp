#include "editors/editorpanel.h"

#include "editors/editorbuttons.h"
#include "editors/valueslider.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>

namespace lumeq {

namespace {

// Runs a function when the watched, enabled widget gets a left mouse press (read-only edits have no clicked
// signal). A swallowing filter keeps the press from the widget.
class ClickFilter : public QObject {
public:
    ClickFilter(QWidget* watched, std::function<void()> clicked, bool swallow)
        : QObject(watched), clicked_(std::move(clicked)), swallow_(swallow) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            static_cast<QWidget*>(watched)->isEnabled()) {
            clicked_();
            if (swallow_)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> clicked_;
    bool swallow_;
};

} // namespace

QLabel* addLabel(QWidget* parent, const QString& name, const QString& text, QRect place, Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setAlignment(alignment);
    return label;
}

QScrollBar* addScrollBar(QWidget* parent, const QString& name, int minimum, int maximum, int pageStep, QRect place) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(minimum, maximum);
    bar->setPageStep(pageStep);
    bar->setGeometry(place);
    return bar;
}

void onLeftPress(QWidget* watched, std::function<void()> pressed) {
    new ClickFilter(watched, std::move(pressed), true);
}

void palette::fill(QWidget* widget, const QColor& colour) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

// ---------------------------------------------------------------------------------------------------------
// Panel

Panel::Panel(EditorHost& host, const QString& objectName, QRect place, QWidget* parent) : QFrame(parent), host_(host) {
    setObjectName(objectName);
    setGeometry(place);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    hide();
}

bool Panel::imageUsable() const {
    return host_.image().size() >= kConfigSize;
}

QGroupBox* Panel::addGroup(QWidget* parent, const char* name, const QString& caption, const QColor& colour,
                           QRect place) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    group->setGeometry(place);
    palette::fill(group, colour);
    return group;
}

QLineEdit* Panel::addValueEdit(QWidget* parent, const char* name, QRect place, std::function<void()> clicked) {
    auto* edit = new QLineEdit(QStringLiteral("0"), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = edit->font();
    bold.setBold(true);
    edit->setFont(bold);
    edit->setCursor(Qt::PointingHandCursor);
    edit->setGeometry(place);
    if (clicked)
        new ClickFilter(edit, std::move(clicked), false);
    return edit;
}

QPushButton* Panel::addOkButton(QWidget* parent, const char* name, QRect place, std::function<void()> clicked) {
    QPushButton* button = makeEditorButton(parent, name, EditorButton::Ok, QStringLiteral("OK"), 24);
    button->setGeometry(place);
    connect(button, &QPushButton::clicked, this, std::move(clicked));
    return button;
}

QPushButton* Panel::addCancelButton(QWidget* parent, const char* name, QRect place, std::function<void()> clicked) {
    QPushButton* button = makeEditorButton(parent, name, EditorButton::Cancel, QStringLiteral("Cancel"), 24);
    button->setGeometry(place);
    connect(button, &QPushButton::clicked, this, std::move(clicked));
    return button;
}

ValueSlider* Panel::addValueSlider(QWidget* parent, const char* stripName, const char* sliderName,
                                   const char* selectorName, QRect place) {
    auto* strip =
        new ValueSlider(parent, QLatin1String(stripName), QLatin1String(sliderName), QLatin1String(selectorName));
    strip->setGeometry(place);
    strip->hide();
    return strip;
}

// ---------------------------------------------------------------------------------------------------------
// EditorPanel

void EditorPanel::open() {
    if (host().formDisabled() || !imageUsable())
        return;
    fill();
    show();
    raise();
    host().setFormDisabled(true);
}

void EditorPanel::ok() {
    if (imageUsable())
        apply();
    close();
}

void EditorPanel::cancel() {
    discard();
    close();
}

void EditorPanel::close() {
    hideSliders();
    hide();
    host().setFormDisabled(false);
}

void EditorPanel::hideSliders() {
    for (ValueSlider* strip : findChildren<ValueSlider*>()) {
        strip->deactivate();
        strip->hide();
    }
}

} // namespace lumeq
