#include "editors/valueslider.h"

#include "model/timecode.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPalette>
#include <QScrollBar>

#include <algorithm>
#include <optional>
#include <string>

namespace lumeq {

namespace {

const QColor kTeal(0, 128, 128);

// The widest item the range selector ever shows.
constexpr const char* kWidestRangeItem = "-> 15:00:00";

bool isRangeMode(EntryMode mode) {
    return mode == EntryMode::Duration || mode == EntryMode::Fade;
}

// The value of a duration (seconds) or fade (milliseconds) text; nullopt when a field is no number.
std::optional<int> readTime(EntryMode mode, const QString& text) {
    const std::string bytes = text.toStdString();
    return mode == EntryMode::Duration ? getTime(bytes) : getTime2(bytes);
}

QString timeText(EntryMode mode, int value) {
    return QString::fromStdString(mode == EntryMode::Duration ? displayTime(value) : displayTime2(value));
}

// A level edit holds a whole number, or something else such as "-" for an empty step.
std::optional<int> readLevel(const QString& text) {
    bool ok = false;
    const int level = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(level) : std::nullopt;
}

// Children of the strip keep the program's normal window colour rather than the strip's teal.
void keepNormalWindowColour(QWidget* child) {
    const QPalette normal = QApplication::palette(child);
    QPalette palette = child->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, normal.color(group, QPalette::Window));
    }
    child->setPalette(palette);
}

} // namespace

ValueSlider::ValueSlider(QWidget* parent, const QString& stripName, const QString& sliderName,
                         const QString& selectorName)
    : QFrame(parent), slider_(new QScrollBar(Qt::Horizontal, this)), selector_(new QComboBox(this)) {
    setObjectName(stripName);
    slider_->setObjectName(sliderName);
    selector_->setObjectName(selectorName);

    QPalette strip = palette();
    strip.setColor(QPalette::Window, kTeal);
    setPalette(strip);
    setAutoFillBackground(true);
    keepNormalWindowColour(slider_);
    keepNormalWindowColour(selector_);

    slider_->setRange(0, kRangeSliderMax);
    slider_->setValue(0);

    // A fixed width that holds the widest range item.
    selector_->addItem(QString::fromLatin1(kWidestRangeItem));
    selector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    selector_->setFixedWidth(selector_->sizeHint().width());
    selector_->clear();
    selector_->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(6);
    layout->addWidget(slider_, 1);
    layout->addWidget(selector_);

    resize(kDefaultWidth, kDefaultHeight);

    connect(slider_, &QScrollBar::valueChanged, this, [this] { applySliderRule(); });
    connect(selector_, &QComboBox::activated, this, [this](int index) { applyRangeRule(index); });
}

QSize ValueSlider::sizeHint() const {
    const int layoutHeight = layout() ? layout()->sizeHint().height() : 0;
    return {kDefaultWidth, std::max(kDefaultHeight, layoutHeight)};
}

bool ValueSlider::clickEdit(int tag, QLineEdit* durationOrTimeEdit, QLineEdit* levelEdit, QLineEdit* fadeEdit,
                            int minLevel) {
    const int modeNumber = tagMode(tag);
    if (modeNumber < static_cast<int>(EntryMode::Level) || modeNumber > static_cast<int>(EntryMode::TimeOfDay)) {
        return false;
    }
    const auto mode = static_cast<EntryMode>(modeNumber);
    QLineEdit* edit = mode == EntryMode::Level ? levelEdit : mode == EntryMode::Fade ? fadeEdit : durationOrTimeEdit;
    if (edit == nullptr) {
        return false;
    }

    // Read the edit before anything changes, so that an unreadable text leaves the strip as it was.
    SliderState state;
    int value = 0;
    switch (mode) {
    case EntryMode::Level:
        state = levelSlider(readLevel(edit->text()), minLevel);
        break;
    case EntryMode::TimeOfDay: {
        const auto code = getTime3(edit->text().toStdString());
        if (!code) {
            emit conversionError(QString::fromStdString(conversionErrorMessage(edit->text().toStdString())));
            return false;
        }
        state = timeOfDaySlider(*code);
        break;
    }
    case EntryMode::Duration:
    case EntryMode::Fade: {
        const auto time = readTime(mode, edit->text());
        if (!time) {
            emit conversionError(QString::fromStdString(conversionErrorMessage(edit->text().toStdString())));
            return false;
        }
        value = *time;
        break;
    }
    }

    tag_ = tag;
    mode_ = mode;
    makeActive(edit, durationOrTimeEdit, levelEdit, fadeEdit);
    if (isRangeMode(mode)) {
        selectRange(value);
    } else {
        range_ = kNoRange;
        selector_->hide();
        // A level or clock time always shows what the slider says, even when the slider already stood
        // there: "-" becomes "100" and a level under the minimum is raised to it.
        applyLimits(state.minimum, state.maximum, state.position, true);
    }
    return true;
}

void ValueSlider::initSlider(int value, EntryMode mode, QLineEdit* edit) {
    if (!isRangeMode(mode)) {
        return;
    }
    tag_ = sliderTag(mode, tagStep(tag_));
    mode_ = mode;
    if (edit != nullptr) {
        makeActive(edit, nullptr, nullptr, nullptr);
    }
    selectRange(value);
}

void ValueSlider::selectRange(int value) {
    // No range is selected while the selector is refilled, so that limit changes on the way write
    // nothing into the edit.
    fillSelector(mode_);
    const SliderState state = ::lumeq::initSlider(value);
    range_ = state.range;
    selector_->setCurrentIndex(range_);
    selector_->show();
    applyLimits(state.minimum, state.maximum, state.position, false);
}

QLineEdit* ValueSlider::activeEdit() const {
    return activeEdit_;
}

void ValueSlider::deactivate() {
    if (activeEdit_) {
        setEditColour(activeEdit_, false);
    }
    activeEdit_ = nullptr;
}

void ValueSlider::setEditColour(QLineEdit* edit, bool active) {
    if (edit == nullptr) {
        return;
    }
    const QPalette normal = edit->parentWidget() ? edit->parentWidget()->palette() : QApplication::palette(edit);
    QPalette palette = edit->palette();
    // The disabled look stays grey.
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Text, active ? kTeal : normal.color(group, QPalette::Text));
    }
    edit->setPalette(palette);
}

void ValueSlider::applyLimits(int minimum, int maximum, int position, bool alwaysWrite) {
    settingLimits_ = true;
    slider_->setRange(minimum, maximum);
    // Compared with the position the new limits left, not the one an edit of another mode had: a value
    // that lies on the slider's position stays as it is shown.
    const int before = slider_->value();
    slider_->setValue(position);
    settingLimits_ = false;
    if (alwaysWrite || slider_->value() != before) {
        applySliderRule();
    }
}

void ValueSlider::setRangeItems(EntryMode mode, const QStringList& items) {
    if (!isRangeMode(mode) || items.size() != kRangeCount) {
        return;
    }
    (mode == EntryMode::Duration ? durationItems_ : fadeItems_) = items;
    if (mode_ == mode && selector_->count() == kRangeCount) {
        for (int i = 0; i < kRangeCount; ++i) {
            selector_->setItemText(i, items.at(i));
        }
    }
}

void ValueSlider::fillSelector(EntryMode mode) {
    range_ = kNoRange;
    selector_->clear();
    const QStringList& own = mode == EntryMode::Duration ? durationItems_ : fadeItems_;
    if (isRangeMode(mode) && !own.isEmpty()) {
        selector_->addItems(own);
    } else {
        for (const std::string_view item : rangeItems(mode)) {
            selector_->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
        }
    }
    selector_->setCurrentIndex(-1);
}

void ValueSlider::makeActive(QLineEdit* edit, QLineEdit* durationOrTimeEdit, QLineEdit* levelEdit,
                             QLineEdit* fadeEdit) {
    if (activeEdit_ && activeEdit_ != edit) {
        setEditColour(activeEdit_, false);
    }
    for (QLineEdit* other : {durationOrTimeEdit, levelEdit, fadeEdit}) {
        if (other != edit) {
            setEditColour(other, false);
        }
    }
    setEditColour(edit, true);
    activeEdit_ = edit;
}

void ValueSlider::applySliderRule() {
    if (settingLimits_ || !activeEdit_) {
        return;
    }
    const auto text = sliderText(mode_, slider_->value(), range_);
    if (!text) {
        return; // a duration or fade without a selected range
    }
    writeActive(QString::fromStdString(*text));
}

void ValueSlider::applyRangeRule(int index) {
    if (!activeEdit_ || !isRangeMode(mode_) || index < 0 || index >= kRangeCount) {
        return;
    }
    const QString shown = activeEdit_->text();
    const auto value = readTime(mode_, shown);
    if (!value) {
        selector_->setCurrentIndex(range_);
        emit conversionError(QString::fromStdString(conversionErrorMessage(shown.toStdString())));
        return;
    }
    const RangeChange change = ::lumeq::comboChange(*value, index);
    range_ = index;
    writeActive(timeText(mode_, change.value));
    // A moved slider rewrites the edit from its new position; a slider that stays keeps the value above.
    slider_->setValue(change.position);
}

void ValueSlider::writeActive(const QString& text) {
    activeEdit_->setText(text);
    emit valueChanged();
}

} // namespace lumeq
