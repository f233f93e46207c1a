#include "editors/dimmingengineeditor.h"

#include "editors/valueslider.h"
#include "model/timecode.h"
#include "files/qtext.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgWidget>

#include <utility>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;

// Panel layout: a caption column on the left, the ten steps side by side, the delete boxes under them,
// then the value slider strip and the buttons.
constexpr int kPanelWidth = 1010;
constexpr int kPanelHeight = 244;
constexpr int kCaptionLeft = 8;
constexpr int kCaptionWidth = 78;
constexpr int kStepsLeft = 90;
constexpr int kStepPitch = 92;
constexpr int kStepsTop = 28;
constexpr int kEditHeight = 22;
// Rows inside a step's group box.
constexpr int kTimeRow = 22;
constexpr int kFadeRow = 50;
constexpr int kLevelRow = 78;
constexpr int kRelayRow = 106;
constexpr int kDeleteTop = kStepsTop + EngineStep::kHeight + 4;
constexpr int kDeleteBoxSize = 20;
constexpr QRect kStripPlace(kStepsLeft, 200, 480, 30);
constexpr QRect kHelpButtonPlace(862, 196, 40, 40);
constexpr QRect kOkPlace(912, 196, 42, 40);
constexpr QRect kCancelPlace(960, 196, 42, 40);
constexpr int kHelpMargin = 3;

const EngineDesign kEngine1{
    .engine = Engine::One,
    .panelName = "pDimmer1",
    .place = QRect(14, 10, kPanelWidth, kPanelHeight), // above the engine's block
    .title = "Dimming Engine 1",
    .prefix = "D1",
    .timeWord = "Time",
    .timeMode = EntryMode::TimeOfDay,
    .firstCaption = " 1",
    .deleteLabel = "lDelete",
    .strip = "pD1Slider",
    .slider = "sbD1",
    .selector = "comboD1",
    .okButton = "bDimmer1_OK",
    .cancelButton = "bDimmer1_Cancel",
    .helpButton = "bHelpD1a",
    .helpPanel = "pHelpD1a",
    .helpPicture = "Image3",
    .helpResource = ":/help/dimmingengine1.svg",
};

const EngineDesign kEngine2{
    .engine = Engine::Two,
    .panelName = "pDimmer2",
    .place = QRect(14, 190, kPanelWidth, kPanelHeight), // above the engine's block
    .title = "Dimming Engine 2",
    .prefix = "D2",
    .timeWord = "Delay",
    .timeMode = EntryMode::Duration,
    .firstCaption = "1",
    .deleteLabel = "lDelete2",
    .strip = "pD2Slider",
    .slider = "sbD2",
    .selector = "comboD2",
    .okButton = "bDimmer2OK",
    .cancelButton = "bDimmer2Cancel",
    .helpButton = "bQuestion",
    .helpPanel = "pHelpD1",
    .helpPicture = "Image2",
    .helpResource = ":/help/dimmingengine2.svg",
};

QLabel* addBoldLabel(QWidget* parent, const QString& name, const QString& text, QRect place) {
    QLabel* label = addLabel(parent, name, text, place);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// "step 3" or "steps 3 to 5" (the dropped steps always run to the last used one).
QString stepRange(const std::vector<int>& steps) {
    if (steps.size() == 1)
        return QStringLiteral("step %1").arg(steps.front());
    bool run = true;
    for (std::size_t i = 1; i < steps.size(); ++i)
        run = run && steps[i] == steps[i - 1] + 1;
    if (run)
        return QStringLiteral("steps %1 to %2").arg(steps.front()).arg(steps.back());
    QStringList numbers;
    for (const int step : steps)
        numbers << QString::number(step);
    return QStringLiteral("steps ") + numbers.join(QStringLiteral(", "));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// HelpPicturePanel

HelpPicturePanel::HelpPicturePanel(QWidget* editorPanel, const QString& panelName, const QString& pictureName,
                                   const QString& resource)
    : QFrame(editorPanel) {
    setObjectName(panelName);
    setGeometry(editorPanel->rect());
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to close"));
    picture_ = new QSvgWidget(resource, this);
    picture_->setObjectName(pictureName);
    picture_->setGeometry(rect().adjusted(kHelpMargin, kHelpMargin, -kHelpMargin, -kHelpMargin));
    picture_->installEventFilter(this);
    hide();
}

void HelpPicturePanel::open() {
    show();
    raise();
}

void HelpPicturePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    hide();
    event->accept();
}

bool HelpPicturePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        hide();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------------------
// EngineStep

EngineStep::EngineStep(const EngineDesign& design, int number, QWidget* panel, QPoint topLeft,
                       const EditMaker& makeEdit, std::function<void(EntryMode)> clicked,
                       std::function<void()> deleteClicked)
    : QGroupBox(number == 1 ? QString::fromLatin1(design.firstCaption) : QString::number(number), panel),
      number_(number) {
    const QString p = QLatin1String(design.prefix);
    const QString n = QString::number(number);
    setObjectName(QStringLiteral("E%1_gb%2").arg(p, n));
    setGeometry(QRect(topLeft, QSize(kWidth, kHeight)));
    setProperty("tag", number);
    // A locked step keeps its caption and relay texts readable on silver.
    QPalette locked = palette();
    locked.setColor(QPalette::Disabled, QPalette::WindowText, QColor(112, 112, 112));
    setPalette(locked);
    setUsedLook(false);

    const auto edit = [&](const QString& name, QRect place, EntryMode mode) {
        QLineEdit* made = makeEdit(this, name, place, [clicked, mode] { clicked(mode); });
        made->setProperty("tag", number);
        return made;
    };
    time_ = edit(QStringLiteral("e%1_%2%3").arg(p, QLatin1String(design.timeWord), n),
                 QRect(6, kTimeRow, 76, kEditHeight), design.timeMode);
    fade_ = edit(QStringLiteral("e%1_Fade%2").arg(p, n), QRect(6, kFadeRow, 54, kEditHeight), EntryMode::Fade);
    QLabel* unit = addLabel(this, QStringLiteral("l%1_FadeUnit%2").arg(p, n), QStringLiteral("s/%"),
                            QRect(62, kFadeRow, 24, kEditHeight));
    unit->setToolTip(QStringLiteral("%"));
    level_ = edit(QStringLiteral("e%1_Level%2").arg(p, n), QRect(6, kLevelRow, 40, kEditHeight), EntryMode::Level);
    addLabel(this, QStringLiteral("l%1_LevelUnit%2").arg(p, n), QStringLiteral("%"),
             QRect(50, kLevelRow, 20, kEditHeight));

    on_ = new QRadioButton(QStringLiteral("On"), this);
    on_->setObjectName(QStringLiteral("rb%1_On%2").arg(p, n));
    on_->setGeometry(4, kRelayRow, 40, kEditHeight);
    on_->setChecked(true);
    off_ = new QRadioButton(QStringLiteral("Off"), this);
    off_->setObjectName(QStringLiteral("rb%1_Off%2").arg(p, n));
    off_->setGeometry(44, kRelayRow, 40, kEditHeight);

    if (number > 1) {
        delete_ = new QCheckBox(panel);
        delete_->setObjectName(QStringLiteral("E%1_cbDel%2").arg(p, n));
        delete_->setProperty("tag", number);
        delete_->setToolTip(QStringLiteral("Delete this step and every later one"));
        delete_->setGeometry(topLeft.x() + (kWidth - kDeleteBoxSize) / 2, kDeleteTop, kDeleteBoxSize, kDeleteBoxSize);
        delete_->hide();
        connect(delete_, &QCheckBox::clicked, this, std::move(deleteClicked));
    }
}

void EngineStep::setUsedLook(bool used) {
    palette::fill(this, used ? palette::kMainGroup : palette::kEmptyStep);
}

void EngineStep::resetEditColours() {
    for (QLineEdit* edit : {time_, fade_, level_})
        ValueSlider::setEditColour(edit, false);
}

std::optional<int> EngineStep::shownLevel() const {
    bool ok = false;
    const int level = level_->text().trimmed().toInt(&ok);
    return ok ? std::optional<int>(level) : std::nullopt;
}

// ---------------------------------------------------------------------------------------------------------
// DimmingEngineEditor

const QString DimmingEngineEditor::kRemoveAnswer = QStringLiteral("Remove and store");
const QString DimmingEngineEditor::kBackAnswer = QStringLiteral("Back");

DimmingEngineEditor::DimmingEngineEditor(EditorHost& host, QWidget* parent, const EngineDesign& design)
    : EditorPanel(host, QLatin1String(design.panelName), design.place, parent), design_(design) {
    // The window's own colour behind the green and silver steps.
    setAutoFillBackground(true);
    buildWidgets();
}

void DimmingEngineEditor::buildWidgets() {
    const QString p = QLatin1String(design_.prefix);
    addBoldLabel(this, QStringLiteral("l%1_Caption").arg(p), QLatin1String(design_.title),
                 QRect(kCaptionLeft, 6, 200, 18));

    // Row captions beside step 1's edits.
    const struct {
        const char* name;
        QString text;
        int row;
    } captions[] = {
        {"TimeCaption", QLatin1String(design_.timeWord), kTimeRow},
        {"FadeCaption", QStringLiteral("Fade Speed"), kFadeRow},
        {"LevelCaption", QStringLiteral("Level"), kLevelRow},
        {"RelayCaption", QStringLiteral("Relay"), kRelayRow},
    };
    for (const auto& caption : captions)
        addLabel(this, QStringLiteral("l%1_%2").arg(p, QLatin1String(caption.name)), caption.text,
                 QRect(kCaptionLeft, kStepsTop + caption.row, kCaptionWidth, kEditHeight));

    const EngineStep::EditMaker makeEdit = [this](QWidget* parent, const QString& name, QRect place,
                                                  std::function<void()> clicked) {
        return addValueEdit(parent, name.toLatin1().constData(), place, std::move(clicked));
    };
    for (int k = 1; k <= kStepCount; ++k) {
        steps_[static_cast<std::size_t>(k - 1)] = new EngineStep(
            design_, k, this, QPoint(kStepsLeft + (k - 1) * kStepPitch, kStepsTop), makeEdit,
            [this, k](EntryMode mode) { editClicked(k, mode); }, [this, k] { deleteClicked(k); });
    }
    deleteLabel_ = addBoldLabel(this, QLatin1String(design_.deleteLabel), QStringLiteral("DEL"),
                                QRect(kCaptionLeft, kDeleteTop, kCaptionWidth, kDeleteBoxSize));
    deleteLabel_->hide();

    strip_ = addValueSlider(this, design_.strip, design_.slider, design_.selector, kStripPlace);
    connect(strip_, &ValueSlider::conversionError, this, [this](const QString& text) { host().message(text); });

    auto* helpButton = new QPushButton(QStringLiteral("?"), this);
    helpButton->setObjectName(QLatin1String(design_.helpButton));
    helpButton->setToolTip(QStringLiteral("Help"));
    helpButton->setCursor(Qt::PointingHandCursor);
    helpButton->setGeometry(kHelpButtonPlace);
    QFont bold = helpButton->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 4);
    helpButton->setFont(bold);
    addOkButton(this, design_.okButton, kOkPlace, [this] { okClicked(); });
    addCancelButton(this, design_.cancelButton, kCancelPlace, [this] { cancel(); });

    help_ = new HelpPicturePanel(this, QLatin1String(design_.helpPanel), QLatin1String(design_.helpPicture),
                                 QLatin1String(design_.helpResource));
    connect(helpButton, &QPushButton::clicked, help_, &HelpPicturePanel::open);
}

EngineStep* DimmingEngineEditor::step(int k) const {
    if (k < 1 || k > kStepCount)
        return nullptr;
    return steps_[static_cast<std::size_t>(k - 1)];
}

void DimmingEngineEditor::fill() {
    buffer_ = steps::table(image(), engine());
    bool enabled = true;
    for (int k = 1; k <= kStepCount; ++k)
        enabled = setGB(enabled, k);
    hideSliders();
}

bool DimmingEngineEditor::setGB(bool enabled, int k) {
    EngineStep* box = step(k);
    if (box == nullptr)
        return false;
    Step& s = buffer_[static_cast<std::size_t>(k - 1)];
    bool used = false;
    if (!s.empty() && enabled) {
        box->setUsedLook(true);
        box->levelEdit()->setText(QString::number(s.level.level()));
        (s.level.relayOff() ? box->offButton() : box->onButton())->setChecked(true);
        if (box->deleteBox())
            box->deleteBox()->show();
        used = true;
    } else {
        // An empty step, or a used one behind an empty step, which is emptied.
        if (!s.empty())
            s = Step::emptyStep();
        box->levelEdit()->setText(QStringLiteral("-"));
        box->resetEditColours();
        box->setUsedLook(false);
        if (box->deleteBox())
            box->deleteBox()->hide();
    }
    box->setEnabled(enabled);
    box->timeEdit()->setText(fromStd(timeText(s.time)));
    box->fadeEdit()->setText(fromStd(displayTime2(s.fadeMillis())));
    updateDeleteLabel();
    return used;
}

void DimmingEngineEditor::updateDeleteLabel() {
    deleteLabel_->setVisible(!step(2)->deleteBox()->isHidden());
}

void DimmingEngineEditor::resetAllEditColours() {
    for (EngineStep* box : steps_)
        box->resetEditColours();
}

void DimmingEngineEditor::editClicked(int k, EntryMode mode) {
    EngineStep* box = step(k);
    if (box == nullptr)
        return;
    resetAllEditColours();
    const bool adding = mode == EntryMode::Level && !box->shownLevel();
    if (!strip_->clickEdit(sliderTag(mode, k), box->timeEdit(), box->levelEdit(), box->fadeEdit(),
                           output::minLevel(image())))
        return;
    strip_->show();
    if (!adding)
        return;
    // The level edit of the first empty step now holds a level: the step is in use and the next one opens.
    box->setUsedLook(true);
    if (box->deleteBox())
        box->deleteBox()->show();
    if (k < kStepCount)
        setGB(true, k + 1);
    updateDeleteLabel();
}

void DimmingEngineEditor::deleteClicked(int k) {
    EngineStep* box = step(k);
    if (box == nullptr || box->deleteBox() == nullptr)
        return;
    box->deleteBox()->setChecked(false);
    for (int i = k; i <= kStepCount; ++i)
        setGB(false, i);
    setGB(true, k);
    hideSliders();
}

std::optional<DimmingEngineEditor::StorePlan> DimmingEngineEditor::plan(QString* error) const {
    StorePlan plan;
    bool earlierInUse = true;
    std::uint8_t before = 0;
    for (int k = 1; k <= kStepCount; ++k) {
        const EngineStep* box = step(k);
        const auto index = static_cast<std::size_t>(k - 1);
        const std::string timeShown = box->timeEdit()->text().toStdString();
        const std::string fadeShown = box->fadeEdit()->text().toStdString();
        const std::optional<std::uint8_t> code = readTime(timeShown);
        const std::optional<int> fade = getTime2(fadeShown);
        if (!code || !fade) {
            if (error)
                *error = fromStd(conversionErrorMessage(code ? fadeShown : timeShown));
            return std::nullopt;
        }
        std::optional<int> level = box->shownLevel();
        const bool shownInUse = level.has_value();
        if (k > 1 && level && !mayFollow(before, *code)) {
            plan.levelCleared[index] = true;
            level.reset();
        }
        if (!level)
            earlierInUse = false;
        if (level && earlierInUse) {
            plan.table[index] = {*code, convertTime(*fade), LevelByte::make(*level, box->offButton()->isChecked())};
            plan.stored[index] = true;
        } else {
            plan.table[index] = Step::emptyStep();
            if (shownInUse)
                plan.dropped.push_back(k);
        }
        before = *code;
    }
    if (!plan.dropped.empty())
        plan.question = droppedQuestion(plan);
    return plan;
}

QString DimmingEngineEditor::droppedQuestion(const StorePlan& plan) const {
    const int first = plan.dropped.front();
    const auto index = static_cast<std::size_t>(first - 1);
    QString why;
    if (plan.levelCleared[index]) {
        const std::optional<std::uint8_t> before = readTime(step(first - 1)->timeEdit()->text().toStdString());
        const std::optional<std::uint8_t> code = readTime(step(first)->timeEdit()->text().toStdString());
        why = whyNot(first, before.value_or(0), code.value_or(0));
    } else {
        why = QStringLiteral("Step %1 follows an empty step").arg(first);
    }
    return QStringLiteral("%1; %2 will be removed.").arg(why, stepRange(plan.dropped));
}

void DimmingEngineEditor::okClicked() {
    QString error;
    const std::optional<StorePlan> what = plan(&error);
    if (!what) {
        host().message(error);
        return;
    }
    if (!what->dropped.empty() && !host().ask(what->question, kRemoveAnswer, kBackAnswer))
        return;
    ok();
}

void DimmingEngineEditor::apply() {
    const std::optional<StorePlan> what = plan(nullptr);
    if (!what)
        return;
    for (int k = 1; k <= kStepCount; ++k) {
        EngineStep* box = step(k);
        const auto index = static_cast<std::size_t>(k - 1);
        if (what->levelCleared[index])
            box->levelEdit()->setText(QStringLiteral("-"));
        if (!what->stored[index])
            box->onButton()->setChecked(true);
        box->resetEditColours();
    }
    buffer_ = what->table;
    if (!what->stored[0])
        engineEmptied();
    steps::setTable(image(), engine(), buffer_);
}

void DimmingEngineEditor::discard() {
    resetAllEditColours();
}

// ---------------------------------------------------------------------------------------------------------
// DimmingEngine1Editor

DimmingEngine1Editor::DimmingEngine1Editor(EditorHost& host, QWidget* parent)
    : DimmingEngineEditor(host, parent, kEngine1) {}

std::string DimmingEngine1Editor::timeText(std::uint8_t code) const {
    return displayTime4(code);
}

std::optional<std::uint8_t> DimmingEngine1Editor::readTime(std::string_view text) const {
    const std::optional<int> code = getTime3(text);
    if (!code)
        return std::nullopt;
    return static_cast<std::uint8_t>(*code);
}

// Read as signed counts of 5 minutes from midnight: evening times are negative and come first.
bool DimmingEngine1Editor::mayFollow(std::uint8_t before, std::uint8_t code) const {
    return static_cast<std::int8_t>(before) < static_cast<std::int8_t>(code);
}

QString DimmingEngine1Editor::whyNot(int k, std::uint8_t before, std::uint8_t code) const {
    return QStringLiteral("Step %1 (%2) is not later than step %3 (%4)")
        .arg(k)
        .arg(fromStd(displayTime4(code)))
        .arg(k - 1)
        .arg(fromStd(displayTime4(before)));
}

void DimmingEngine1Editor::engineEmptied() {
    diagram().showPicture(Picture::Astro_dis);
    diagram().showPicture(Picture::dm1_dis);
    diagram().showPicture(Picture::sw_astro_open);
    astro::setOn(image(), false);
}

// ---------------------------------------------------------------------------------------------------------
// DimmingEngine2Editor

DimmingEngine2Editor::DimmingEngine2Editor(EditorHost& host, QWidget* parent)
    : DimmingEngineEditor(host, parent, kEngine2) {}

std::string DimmingEngine2Editor::timeText(std::uint8_t code) const {
    return displayTime(DecodeTime(code));
}

std::optional<std::uint8_t> DimmingEngine2Editor::readTime(std::string_view text) const {
    const std::optional<int> seconds = getTime(text);
    if (!seconds)
        return std::nullopt;
    return convertTime(*seconds);
}

bool DimmingEngine2Editor::mayFollow(std::uint8_t /*before*/, std::uint8_t code) const {
    return code != 0;
}

QString DimmingEngine2Editor::whyNot(int k, std::uint8_t /*before*/, std::uint8_t /*code*/) const {
    return QStringLiteral("Step %1 has a delay of 0, which only step 1 may have").arg(k);
}

void DimmingEngine2Editor::engineEmptied() {
    // The panel goes first; the diagram is drawn again while the interlock still holds.
    hideSliders();
    hide();
    controlInput::setOn(image(), false);
    host().redraw();
}

} // namespace lumeq
