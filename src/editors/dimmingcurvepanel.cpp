#include "editors/dimmingcurvepanel.h"

#include "editors/editorset.h"
#include "editors/outputeditor.h"
#include "files/lookup.h"
#include "model/dimmingcurve.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSvgRenderer>

#include <filesystem>
#include <functional>
#include <utility>

namespace lumeq {

namespace {

const QColor kGridMajor(190, 196, 200);
const QColor kGridMinor(230, 233, 235);
const QColor kAxis(40, 40, 40);

const QString kCorrectionOff = QStringLiteral("Correction OFF");
const QString kCurveFolder = QStringLiteral("DimmingCurve");

constexpr int kMessagePointSize = 12;
constexpr int kTickPointSize = 8;

// The help panel, centred over the chooser, and the white rim around its picture.
constexpr QRect kHelpPlace((DimmingCurvePanel::kWidth - 810) / 2, (DimmingCurvePanel::kHeight - 590) / 2, 810, 590);
constexpr int kHelpMargin = 5;

std::filesystem::path toPath(const QString& text) {
#ifdef Q_OS_WIN
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

QString fromPath(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

// The folder of curve files: beside the program, else in the user's configuration folder or the
// installation's.
QString curveFolder(const QString& programDir) {
    return lookupPath(lookupRoots(programDir), kCurveFolder, EntryKind::Folder);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// DimmingCurveChart

DimmingCurveChart::DimmingCurveChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("iDimmingCurve"));
    setFixedSize(kSize, kSize);
}

void DimmingCurveChart::clear() {
    curve_.clear();
    message_.clear();
    update();
}

void DimmingCurveChart::showCurve(const std::vector<int>& points) {
    curve_ = points;
    update();
}

void DimmingCurveChart::showMessage(const QString& message) {
    message_ = message;
    update();
}

QPointF DimmingCurveChart::pointAt(int input, int output) {
    return {static_cast<qreal>(kOriginX + kPixelsPerPercent * input),
            static_cast<qreal>(kOriginY - kPixelsPerPercent * output)};
}

void DimmingCurveChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);

    const int full = 100 * kPixelsPerPercent;
    const int right = kOriginX + full;
    const int top = kOriginY - full;

    // Grid: a fine line every 5 %, a stronger one every 10 %.
    for (int percent = 5; percent <= 100; percent += 5) {
        painter.setPen(QPen(percent % 10 == 0 ? kGridMajor : kGridMinor, 1));
        const int x = kOriginX + percent * kPixelsPerPercent;
        const int y = kOriginY - percent * kPixelsPerPercent;
        painter.drawLine(x, kOriginY, x, top);
        painter.drawLine(kOriginX, y, right, y);
    }

    // Axes with their scales.
    painter.setPen(QPen(kAxis, 1));
    painter.drawLine(kOriginX, kOriginY, right, kOriginY);
    painter.drawLine(kOriginX, kOriginY, kOriginX, top);
    QFont tickFont = font();
    tickFont.setPointSize(kTickPointSize);
    painter.setFont(tickFont);
    for (int percent = 0; percent <= 100; percent += 10) {
        const int x = kOriginX + percent * kPixelsPerPercent;
        const int y = kOriginY - percent * kPixelsPerPercent;
        painter.drawLine(x, kOriginY, x, kOriginY + 4);
        painter.drawLine(kOriginX - 4, y, kOriginX, y);
        painter.drawText(QRect(x - 20, kOriginY + 6, 40, 14), Qt::AlignHCenter | Qt::AlignTop,
                         QString::number(percent));
        painter.drawText(QRect(kOriginX - 34, y - 7, 28, 14), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(percent));
    }
    QFont captionFont = tickFont;
    captionFont.setBold(true);
    painter.setFont(captionFont);
    painter.drawText(QRect(kOriginX, kOriginY + 24, full, 18), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("Input [%]"));
    painter.save();
    painter.translate(2, kOriginY - full / 2);
    painter.rotate(-90);
    painter.drawText(QRect(-full / 2, 0, full, 16), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Output [%]"));
    painter.restore();

    if (curve_.size() == static_cast<std::size_t>(kCurvePoints)) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path(pointAt(0, curve_[0]));
        for (int input = 1; input < kCurvePoints; ++input)
            path.lineTo(pointAt(input, curve_[static_cast<std::size_t>(input)]));
        painter.setPen(QPen(palette::kCurve, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }

    if (!message_.isEmpty()) {
        QFont messageFont = font();
        messageFont.setPointSize(kMessagePointSize);
        painter.setFont(messageFont);
        painter.setPen(Qt::black);
        painter.drawText(QRect(kMessageAt, QSize(kSize - kMessageAt.x(), 40)), Qt::AlignLeft | Qt::AlignTop, message_);
    }
}

// ---------------------------------------------------------------------------------------------------------
// DimmingCurvePanel

DimmingCurvePanel::DimmingCurvePanel(EditorHost& host, QWidget* parent)
    : Panel(host, QStringLiteral("pDimmingCurve"), QRect(0, 0, kWidth, kHeight), parent) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    buildWidgets();
}

void DimmingCurvePanel::connectPanels(EditorSet& set) {
    output_ = set.find<OutputEditor>();
    connect(output_->curveCheckBox(), &QCheckBox::toggled, this, [this] { cbDCClick(); });
    connect(output_->curveButton(), &QPushButton::clicked, this, [this] { bDCClick(); });
}

void DimmingCurvePanel::buildWidgets() {
    gbDimmingCurve = addGroup(this, "gbDimmingCurve", QStringLiteral("Select Dimming Curve"), palette::kMainGroup,
                              QRect(30, 56, 430, 500));

    lbDimmingCurve = new QListWidget(gbDimmingCurve);
    lbDimmingCurve->setObjectName(QStringLiteral("lbDimmingCurve"));
    lbDimmingCurve->setGeometry(14, 30, 402, 384);
    lbDimmingCurve->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(lbDimmingCurve, &QListWidget::currentRowChanged, this, [this] { lbDimmingCurveClick(); });

    bDCOk = addOkButton(gbDimmingCurve, "bDCOk", QRect(14, 430, 64, 48), [this] { bDCOkClick(); });
    bDCCancel = addCancelButton(gbDimmingCurve, "bDCCancel", QRect(88, 430, 64, 48), [this] { bDCCancelClick(); });

    bDcHelp = new QPushButton(QStringLiteral("?"), gbDimmingCurve);
    bDcHelp->setObjectName(QStringLiteral("bDcHelp"));
    bDcHelp->setToolTip(QStringLiteral("Help"));
    QFont helpFont = bDcHelp->font();
    helpFont.setBold(true);
    helpFont.setPointSize(14);
    bDcHelp->setFont(helpFont);
    bDcHelp->setGeometry(352, 430, 64, 48);
    connect(bDcHelp, &QPushButton::clicked, this, [this] { bDcHelpClick(); });

    iDimmingCurve = new DimmingCurveChart(this);
    iDimmingCurve->move(500, 56);

    // The help lies over the chooser; a click on it or its picture closes it.
    pDcHelp = new QFrame(this);
    pDcHelp->setObjectName(QStringLiteral("pDcHelp"));
    pDcHelp->setGeometry(kHelpPlace);
    pDcHelp->setFrameShape(QFrame::Box);
    palette::fill(pDcHelp, Qt::white);
    pDcHelp->setCursor(Qt::PointingHandCursor);
    pDcHelp->setToolTip(QStringLiteral("Click to close the help"));
    onLeftPress(pDcHelp, [this] { pDcHelpClick(); });
    auto* Image1 =
        new DiagramPicture(QStringLiteral("Image1"), new QSvgRenderer(QStringLiteral(":/help/dimmingcurve.svg"), this),
                           DiagramPicture::Look::Normal, true, pDcHelp);
    Image1->setGeometry(pDcHelp->rect().adjusted(kHelpMargin, kHelpMargin, -kHelpMargin, -kHelpMargin));
    connect(Image1, &DiagramPicture::clicked, this, [this] { pDcHelpClick(); });
    pDcHelp->hide();
}

void DimmingCurvePanel::bDcHelpClick() {
    pDcHelp->show();
    pDcHelp->raise();
}

void DimmingCurvePanel::pDcHelpClick() {
    pDcHelp->hide();
}

QString DimmingCurvePanel::entryCaption(int index) const {
    if (index < 0 || index >= names_.size())
        return QString();
    const QString& name = names_.at(index);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString DimmingCurvePanel::chartMessage() const {
    return iDimmingCurve->message();
}

void DimmingCurvePanel::selectRow(int row) {
    const QSignalBlocker block(lbDimmingCurve);
    lbDimmingCurve->setCurrentRow(row);
}

// Ticks or clears cbDC; a change runs cbDCClick as a user's click does.
void DimmingCurvePanel::setCurveCheck(bool checked) {
    output_->curveCheckBox()->setChecked(checked);
}

void DimmingCurvePanel::startUp() {
    CurveState& curves = host().curves();
    curves.curveFilesFound = dimmCurve(true);
    if (curves.curveIndex == -1)
        return;
    if (!curves.curveFilesFound || curves.curveIndex < 0 || curves.curveIndex >= names_.size()) {
        // A curve that is not in the list is no choice.
        curves.curveIndex = -1;
        return;
    }
    QCheckBox* cbDC = output_->curveCheckBox();
    cbDC->setText(entryCaption(curves.curveIndex));
    if (cbDC->isChecked())
        cbDCClick();
    else
        setCurveCheck(true);
}

bool DimmingCurvePanel::dimmCurve(bool listOnly) {
    const CurveListing listing = listCurveFiles(toPath(curveFolder(host().programDir())));
    if (!listing.folderFound || listing.names.empty())
        return false;

    names_.clear();
    for (const std::filesystem::path& name : listing.names)
        names_.append(fromPath(name));
    {
        const QSignalBlocker block(lbDimmingCurve);
        lbDimmingCurve->clear();
        lbDimmingCurve->addItems(names_);
    }
    if (listOnly) {
        iDimmingCurve->clear();
        return true;
    }

    CurveState& curves = host().curves();
    if (curves.curveIndex < -1 || curves.curveIndex >= names_.size())
        curves.curveIndex = -1;
    if (curves.curveIndex == -1) {
        selectRow(0);
        lbOldItemIdx = 0;
        show();
        raise();
        paintDC(true);
    } else {
        selectRow(curves.curveIndex);
        lbOldItemIdx = curves.curveIndex;
        paintDC(false);
    }
    return true;
}

void DimmingCurvePanel::paintDC(bool draw) {
    CurveState& curves = host().curves();
    iDimmingCurve->clear();
    const int row = lbDimmingCurve->currentRow();
    if (row < 0 || row >= names_.size()) {
        curves.dimmingCurve.clear();
        return;
    }
    const QString file = curveFolder(host().programDir()) + QLatin1Char('/') + names_.at(row);
    const CurveParse parsed = readCurveFile(toPath(file));
    if (!parsed.ok()) {
        // A broken file is no curve: nothing would be corrected through it.
        curves.dimmingCurve.clear();
        const std::string_view text = curveErrorText(parsed.error);
        iDimmingCurve->showMessage(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
        return;
    }
    curves.dimmingCurve = parsed.points;
    if (draw)
        iDimmingCurve->showCurve(parsed.points);
}

void DimmingCurvePanel::cbDCClick() {
    CurveState& curves = host().curves();
    QCheckBox* cbDC = output_->curveCheckBox();
    curves.correctionOn = cbDC->isChecked();
    if (cbDC->isChecked()) {
        if (!dimmCurve(false)) {
            // The curve files have gone since start-up: nothing to choose from.
            setCurveCheck(false);
            return;
        }
        if (!output_->isHidden()) {
            show();
            raise();
        }
        return;
    }
    curves.curveIndex = -1;
    curves.dimmingCurve.clear();
    output_->curveButton()->setEnabled(false);
    cbDC->setText(kCorrectionOff);
}

void DimmingCurvePanel::bDCClick() {
    host().curves().curveIndex = -1;
    if (!dimmCurve(false)) {
        setCurveCheck(false);
        return;
    }
    show();
    raise();
}

void DimmingCurvePanel::lbDimmingCurveClick() {
    const int row = lbDimmingCurve->currentRow();
    if (row < 0 || row == lbOldItemIdx)
        return;
    lbOldItemIdx = row;
    paintDC(true);
}

void DimmingCurvePanel::bDCOkClick() {
    const int row = lbDimmingCurve->currentRow();
    if (row < 0 || row >= names_.size()) {
        bDCCancelClick();
        return;
    }
    if (const QString problem = curveProblem(row); !problem.isEmpty()) {
        // A file that holds no usable curve is not taken: the chooser stays open for another choice.
        host().message(problem);
        return;
    }
    CurveState& curves = host().curves();
    curves.curveIndex = row;
    output_->curveCheckBox()->setText(entryCaption(row));
    if (output_->curveCheckBox()->isChecked())
        paintDC(false); // the curve of the chosen entry, whatever was drawn last
    else
        setCurveCheck(true); // loads it through cbDCClick
    hide();
    output_->curveButton()->setEnabled(true);
    if (!host().isDemo() && uncorrectFromModule(image(), curves)) {
        refreshLevelLabels();
        output_->setOutput();
    }
}

void DimmingCurvePanel::bDCCancelClick() {
    CurveState& curves = host().curves();
    curves.dimmingCurve.clear();
    curves.curveIndex = -1;
    hide();
    setCurveCheck(false);
    output_->curveButton()->setEnabled(false);
    output_->curveCheckBox()->setText(kCorrectionOff);
}

void DimmingCurvePanel::setUpOutputControls() {
    QCheckBox* cbDC = output_->curveCheckBox();
    QPushButton* bDC = output_->curveButton();
    const int index = host().curves().curveIndex;
    bDC->setEnabled(true);
    if (cbDC->isChecked() && index != -1) {
        cbDC->setText(entryCaption(index));
    } else if (cbDC->isChecked()) {
        setCurveCheck(false);
    } else {
        bDC->setEnabled(false);
        cbDC->setText(kCorrectionOff);
    }
}

void DimmingCurvePanel::dropChoice() {
    CurveState& curves = host().curves();
    curves.curveIndex = -1;
    setCurveCheck(false);
    curves.levelsUncorrected = false;
}

QString DimmingCurvePanel::curveProblem(int row) const {
    const QString file = curveFolder(host().programDir()) + QLatin1Char('/') + names_.at(row);
    const CurveParse parsed = readCurveFile(toPath(file));
    QString reason;
    switch (parsed.error) {
    case CurveError::None:
        return {};
    case CurveError::PointCount:
        reason = QStringLiteral("it does not hold exactly 101 lines, one level for each input from 0 to 100 %.");
        break;
    case CurveError::WrongData:
        reason = QStringLiteral("line %1 is not a whole number from 0 to 100.").arg(parsed.badLine + 1);
        break;
    case CurveError::Unreadable:
        reason = QStringLiteral("the file cannot be read.");
        break;
    }
    return QStringLiteral("The dimming curve \"%1\" cannot be used: %2 No curve is applied.")
        .arg(names_.at(row), reason);
}

// The diagram's labels that print a level of the image.
void DimmingCurvePanel::refreshLevelLabels() {
    diagram().showLabel(BlockDiagram::Label::lMinLevel, image());
    diagram().showLabel(BlockDiagram::Label::lPO_Level, image());
}

} // namespace lumeq
