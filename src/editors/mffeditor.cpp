#include "editors/mffeditor.h"

#include "editors/valueslider.h"
#include "model/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;

const QString kNoLevel = QStringLiteral("-");
const QString kFirstStartLevel = QStringLiteral("80");
const QString kFirstStopLevel = QStringLiteral("100");
constexpr int kPercentStep = 10;
constexpr int kQuarters = 4;
// The scroll bar's tag: which of the seven edits the strip serves.
constexpr const char* kTagProperty = "tag";

int number(const QLineEdit* edit) {
    return edit->text().trimmed().toInt(); // 0 for "-"
}

// start + (stop - start) * quarters / 4, rounded to the nearest whole number, a half to the even one.
int quarterPoint(int start, int stop, int quarters) {
    const int scaled = kQuarters * start + quarters * (stop - start);
    int whole = scaled >= 0 ? scaled / kQuarters : -((-scaled + kQuarters - 1) / kQuarters);
    const int rest = scaled - kQuarters * whole; // 0..3 quarters above `whole`
    if (rest > kQuarters / 2 || (rest == kQuarters / 2 && whole % 2 != 0))
        ++whole;
    return whole;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// MffChart

MffChart::MffChart(QWidget* parent, std::function<void()> clicked) : QWidget(parent), clicked_(std::move(clicked)) {
    setObjectName(QStringLiteral("Image7"));
    setFixedSize(kSize, kSize);
    setCursor(Qt::PointingHandCursor);
}

void MffChart::showCurve(const std::array<int, 5>& levels) {
    asksForLifetime_ = false;
    levels_ = levels;
    update();
}

void MffChart::showLifetimeQuestion() {
    asksForLifetime_ = true;
    update();
}

std::array<QPoint, 5> MffChart::curvePoints() const {
    std::array<QPoint, 5> points;
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] =
            QPoint(kOrigin.x() + static_cast<int>(i) * kPixelsPerQuarter, kOrigin.y() - kPixelsPerPercent * levels_[i]);
    return points;
}

void MffChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const int left = kOrigin.x();
    const int bottom = kOrigin.y();
    const int right = left + kQuarters * kPixelsPerQuarter;
    const int top = bottom - kPixelsPerPercent * kMaxLevel;

    // The grid and the axes on whole pixels, without smoothing: sharp lines at every pixel density.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(200, 200, 200), 1));
    for (int percent = kPercentStep; percent <= kMaxLevel; percent += kPercentStep) {
        const int y = bottom - kPixelsPerPercent * percent;
        painter.drawLine(left, y, right, y);
    }
    for (int quarter = 1; quarter <= kQuarters; ++quarter) {
        const int x = left + quarter * kPixelsPerQuarter;
        painter.drawLine(x, top, x, bottom);
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(left, bottom, right + 20, bottom);
    painter.drawLine(left, bottom, left, top - 20);

    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::black);
    painter.drawPolygon(
        QPolygon({QPoint(right + 26, bottom), QPoint(right + 18, bottom - 4), QPoint(right + 18, bottom + 4)}));
    painter.drawPolygon(QPolygon({QPoint(left, top - 26), QPoint(left - 4, top - 18), QPoint(left + 4, top - 18)}));
    painter.setBrush(Qt::NoBrush);

    // Scales and axis names.
    QFont font = painter.font();
    font.setPointSize(8);
    painter.setFont(font);
    for (int percent = 0; percent <= kMaxLevel; percent += kPercentStep) {
        const int y = bottom - kPixelsPerPercent * percent;
        painter.drawText(QRect(0, y - 8, left - 6, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(percent));
    }
    const char* const marks[] = {"1/4", "1/2", "3/4", "1"};
    for (int quarter = 1; quarter <= kQuarters; ++quarter) {
        const int x = left + quarter * kPixelsPerQuarter;
        painter.drawText(QRect(x - 20, bottom + 6, 40, 16), Qt::AlignCenter, QLatin1String(marks[quarter - 1]));
    }
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(left + 10, top - 30, 160, 16), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Output [%]"));
    painter.drawText(QRect(right - 160, bottom + 26, 160, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Lifetime"));

    // The curve, or the question for the lifetime.
    painter.setPen(QPen(palette::kCurve, 2));
    if (asksForLifetime_) {
        QFont question = painter.font();
        question.setBold(false);
        question.setPointSize(12);
        painter.setFont(question);
        painter.drawText(kQuestionAt, QStringLiteral("Lifetime?"));
        return;
    }
    const std::array<QPoint, 5> points = curvePoints();
    painter.drawPolyline(points.data(), static_cast<int>(points.size()));
}

void MffChart::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && clicked_)
        clicked_();
}

// ---------------------------------------------------------------------------------------------------------
// MffEditor

MffEditor::MffEditor(EditorHost& host, QWidget* parent) : EditorPanel(host, QStringLiteral("pMFF"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);
    buildWidgets();
}

void MffEditor::buildWidgets() {
    QGroupBox* mffGroup =
        addGroup(this, "gbMFF", QStringLiteral("MFF Setup"), palette::kMainGroup, QRect(4, 2, 250, 128));
    auto valueEdit = [this](QWidget* parent, const char* name, QRect place, Tag tag) {
        QLineEdit* created = addValueEdit(parent, name, place, [this, tag] { editClicked(tag); });
        edits_[tag - 1] = created;
        return created;
    };

    addLabel(mffGroup, "lMFFLifeTime", QStringLiteral("Lifetime"), QRect(8, 20, 70, 22));
    valueEdit(mffGroup, "eLifeTime", QRect(80, 20, 64, 22), Lifetime);
    addLabel(mffGroup, "lMFFLifeTimeUnit", QStringLiteral("h"), QRect(148, 20, 12, 22));

    addLabel(mffGroup, "lMFFStart", QStringLiteral("Start Level"), QRect(8, 46, 68, 22));
    valueEdit(mffGroup, "eReduction", QRect(76, 46, 34, 22), Start);
    addLabel(mffGroup, "lMFFStartUnit", QStringLiteral("%"), QRect(112, 46, 12, 22));
    addLabel(mffGroup, "lMFFStop", QStringLiteral("Stop Level"), QRect(132, 46, 64, 22));
    valueEdit(mffGroup, "eStopLevel", QRect(196, 46, 34, 22), Stop);
    addLabel(mffGroup, "lMFFStopUnit", QStringLiteral("%"), QRect(232, 46, 12, 22));

    struct Point {
        const char* caption;
        const char* editName;
        const char* unit;
        Tag tag;
    };
    static constexpr Point kPoints[] = {
        {"lMFFL1", "eL1", "lMFFL1Unit", Point1},
        {"lMFFL2", "eL2", "lMFFL2Unit", Point2},
        {"lMFFL3", "eL3", "lMFFL3Unit", Point3},
    };
    for (int i = 0; i < 3; ++i) {
        const Point& point = kPoints[i];
        const int x = 8 + 82 * i;
        addLabel(mffGroup, point.caption, QStringLiteral("L%1").arg(i + 1), QRect(x, 72, 20, 22));
        valueEdit(mffGroup, point.editName, QRect(x + 20, 72, 34, 22), point.tag)->setEnabled(false);
        addLabel(mffGroup, point.unit, QStringLiteral("%"), QRect(x + 56, 72, 12, 22));
    }

    cbresetOH = new QCheckBox(QStringLiteral("Reset operating hours"), mffGroup);
    cbresetOH->setObjectName(QStringLiteral("cbresetOH"));
    cbresetOH->setGeometry(8, 100, 220, 22);

    QGroupBox* bbtGroup =
        addGroup(this, "gbBBT", QStringLiteral("BBT Setup"), palette::kSecondaryGroup, QRect(4, 132, 250, 42));
    addLabel(bbtGroup, "lBurnIn", QStringLiteral("Burn-In Period"), QRect(8, 16, 90, 22));
    valueEdit(bbtGroup, "eBurnIn", QRect(100, 16, 44, 22), BurnIn);
    addLabel(bbtGroup, "lBurnInUnit", QStringLiteral("h"), QRect(148, 16, 12, 22));

    // The teal strip, shown once an edit is clicked. The scroll bar keeps the normal window colour.
    pMFFSlider = new QFrame(this);
    pMFFSlider->setObjectName(QStringLiteral("pMFFSlider"));
    pMFFSlider->setGeometry(4, 176, 250, 26);
    palette::fill(pMFFSlider, palette::kTeal);
    sbMFF = new QScrollBar(Qt::Horizontal, pMFFSlider);
    sbMFF->setObjectName(QStringLiteral("sbMFF"));
    sbMFF->setGeometry(4, 4, pMFFSlider->width() - 8, pMFFSlider->height() - 8);
    sbMFF->setPalette(QApplication::palette(sbMFF));
    sbMFF->setAutoFillBackground(true);
    sbMFF->setPageStep(10);
    sbMFF->setProperty(kTagProperty, Lifetime);
    pMFFSlider->hide();
    connect(sbMFF, &QScrollBar::valueChanged, this, [this] { sbMFFChange(); });

    addOkButton(this, "bMFFOk", QRect(259, 10, 37, 38), [this] { ok(); });
    addCancelButton(this, "bMFFCancel", QRect(259, 56, 37, 38), [this] { cancel(); });
    auto* help = new QPushButton(QStringLiteral("?"), this);
    help->setObjectName(QStringLiteral("bMFFHelp"));
    help->setToolTip(QStringLiteral("MFF curve"));
    help->setCursor(Qt::PointingHandCursor);
    help->setGeometry(259, 140, 37, 30);
    connect(help, &QPushButton::clicked, this, [this] { bMFFHelpClick(); });

    // The chart lies below the panel's visible area until it is asked for.
    pHelpMFF = new QFrame(this);
    pHelpMFF->setObjectName(QStringLiteral("pHelpMFF"));
    pHelpMFF->setGeometry(4, kChartPanelSize.height(), MffChart::kSize, MffChart::kSize);
    Image7 = new MffChart(pHelpMFF, [this] { Image7Click(); });
    Image7->move(0, 0);
    pHelpMFF->hide();
}

int MffEditor::sliderTag() const {
    return sbMFF->property(kTagProperty).toInt();
}

QLineEdit* MffEditor::edit(Tag tag) const {
    return edits_[tag - 1];
}

void MffEditor::switchClicked(Picture which) {
    if (!imageUsable())
        return;
    if (which == Picture::SW_mff_on)
        SW_mff_onClick();
    else if (which == Picture::sw_mff_off)
        sw_mff_offClick();
}

void MffEditor::SW_mff_onClick() {
    // The five levels stay in the image.
    diagram().showPicture(Picture::MFF_dis);
    diagram().showPicture(Picture::sw_mff_off);
    mff::setLifetimeUnits(image(), 0);
    mff::setBurnInHours(image(), 0);
    mff::setResetHours(image(), false);
    cbresetOH->setChecked(false);
}

void MffEditor::sw_mff_offClick() {
    diagram().hidePicture(Picture::MFF_dis);
    diagram().hidePicture(Picture::sw_mff_off);
    open();
}

void MffEditor::setLevelsShown(bool shown) {
    for (const Tag tag : {Start, Stop, Point1, Point2, Point3}) {
        if (!shown)
            edit(tag)->setText(kNoLevel);
        edit(tag)->setEnabled(shown);
    }
}

void MffEditor::fill() {
    edit(BurnIn)->setText(QString::number(mff::burnInHours(image())));
    edit(Lifetime)->setText(QString::number(mff::lifetimeHours(image())));
    if (mff::on(image())) {
        const mff::Levels levels = mff::levels(image());
        edit(Start)->setText(QString::number(levels.start));
        edit(Stop)->setText(QString::number(levels.stop));
        edit(Point1)->setText(QString::number(levels.l1));
        edit(Point2)->setText(QString::number(levels.l2));
        edit(Point3)->setText(QString::number(levels.l3));
    }
    setLevelsShown(edit(Lifetime)->text() != QStringLiteral("0"));
}

void MffEditor::editClicked(Tag tag) {
    pMFFSlider->show();
    for (int each = Lifetime; each <= Point3; ++each)
        ValueSlider::setEditColour(edit(static_cast<Tag>(each)), each == tag);
    sbMFF->setProperty(kTagProperty, tag);

    const int start = number(edit(Start));
    int minimum = 0;
    int maximum = kMaxLevel;
    int position = number(edit(tag));
    switch (tag) {
    case Lifetime:
        maximum = mff::kMaxUnits;
        position /= mff::kHoursPerUnit;
        break;
    case BurnIn:
        maximum = mff::kMaxBurnInHours;
        break;
    case Start:
        break;
    case Stop:
        minimum = start;
        break;
    case Point1:
        minimum = start;
        maximum = number(edit(Point2));
        break;
    case Point2:
        minimum = number(edit(Point1));
        maximum = number(edit(Point3));
        break;
    case Point3:
        minimum = number(edit(Point2));
        maximum = number(edit(Stop));
        break;
    }
    // Neighbouring points out of order leave no room for this one: the slider stays where it is, unusable,
    // and the edit keeps its value.
    if (minimum > maximum) {
        sbMFF->setEnabled(false);
        return;
    }
    sbMFF->setEnabled(true);

    // Like a move of the slider whenever the position changes; a value outside the limits is pulled to
    // the nearer one and written back.
    const int before = sbMFF->value();
    {
        const QSignalBlocker quiet(sbMFF);
        sbMFF->setRange(minimum, maximum);
        sbMFF->setValue(position);
    }
    if (sbMFF->value() != before || sbMFF->value() != position)
        sbMFFChange();
}

void MffEditor::sbMFFChange() {
    const int position = sbMFF->value();
    const int tag = sliderTag();
    switch (tag) {
    case Lifetime:
        edit(Lifetime)->setText(QString::number(position * mff::kHoursPerUnit));
        if (position == 0) {
            setLevelsShown(false);
            break;
        }
        if (edit(Start)->text() == kNoLevel) {
            edit(Start)->setText(kFirstStartLevel);
            edit(Stop)->setText(kFirstStopLevel);
        }
        setLevelsShown(true);
        calculatePoints();
        break;
    case Start:
        edit(Start)->setText(QString::number(position));
        calculatePoints();
        break;
    case BurnIn:
        edit(BurnIn)->setText(QString::number(position));
        break;
    case Stop:
        edit(Stop)->setText(QString::number(position));
        calculatePoints();
        break;
    case Point1:
    case Point2:
    case Point3:
        edit(static_cast<Tag>(tag))->setText(QString::number(position));
        break;
    default:
        break;
    }
}

void MffEditor::calculatePoints() {
    const int start = number(edit(Start));
    const int stop = number(edit(Stop));
    edit(Point1)->setText(QString::number(quarterPoint(start, stop, 1)));
    edit(Point2)->setText(QString::number(quarterPoint(start, stop, 2)));
    edit(Point3)->setText(QString::number(quarterPoint(start, stop, 3)));
}

void MffEditor::apply() {
    const int units = number(edit(Lifetime)) / mff::kHoursPerUnit;
    mff::setLifetimeUnits(image(), units);
    if (units != 0)
        mff::setLevels(image(), {number(edit(Start)), number(edit(Point1)), number(edit(Point2)), number(edit(Point3)),
                                 number(edit(Stop))});
    else
        mff::setLevels(image(), {});
    mff::setBurnInHours(image(), number(edit(BurnIn)));
    mff::setResetHours(image(), cbresetOH->isChecked());
    greyWhenUnused();
    endEditing();
}

void MffEditor::discard() {
    endEditing();
    greyWhenUnused();
}

void MffEditor::greyWhenUnused() {
    // Neither lifetime nor burn-in: the block greys and the switch opens.
    if (mff::lifetimeUnits(image()) == 0 && mff::burnInHours(image()) == 0) {
        diagram().showPicture(Picture::MFF_dis);
        diagram().showPicture(Picture::sw_mff_off);
    }
}

void MffEditor::endEditing() {
    pMFFSlider->hide();
    for (QLineEdit* each : edits_)
        ValueSlider::setEditColour(each, false);
}

void MffEditor::bMFFHelpClick() {
    resize(kChartPanelSize);
    pHelpMFF->move(4, 4);
    pHelpMFF->raise();
    if (edit(Lifetime)->text() == QStringLiteral("0"))
        Image7->showLifetimeQuestion();
    else
        Image7->showCurve({number(edit(Start)), number(edit(Point1)), number(edit(Point2)), number(edit(Point3)),
                           number(edit(Stop))});
    pHelpMFF->show();
}

void MffEditor::Image7Click() {
    pHelpMFF->hide();
    resize(kPlace.size());
    pHelpMFF->move(4, kChartPanelSize.height());
}

} // namespace lumeq
