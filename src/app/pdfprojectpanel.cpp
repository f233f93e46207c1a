#include "app/pdfprojectpanel.h"

#include "editors/editorbuttons.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumeq {

namespace {

QLineEdit* addField(QGroupBox* box, QGridLayout* grid, int row, const char* label, const char* name, int length) {
    auto* caption = new QLabel(QString::fromLatin1(label), box);
    caption->setObjectName(QStringLiteral("l") + QLatin1String(name).mid(1));
    auto* edit = new QLineEdit(box);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(length);
    caption->setBuddy(edit);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

} // namespace

PdfProjectPanel::PdfProjectPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("pPdfProjectName"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setGeometry(330, 180, 380, 190);

    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(QStringLiteral("Project"), this);
    box->setObjectName(QStringLiteral("gbPdfProject"));
    box->setStyleSheet(QStringLiteral("QGroupBox#gbPdfProject { background-color: rgb(192, 220, 192); }"));
    auto* grid = new QGridLayout(box);
    eProjectName = addField(box, grid, 0, "Name", "eProjectName", kNameLength);
    eLuminaire = addField(box, grid, 1, "Luminaire", "eLuminaire", kLuminaireLength);
    eDriver = addField(box, grid, 2, "Driver", "eDriver", kDriverLength);
    layout->addWidget(box);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    bPdfOK = makeEditorButton(this, "bPdfOK", EditorButton::Ok, QStringLiteral("Create the report"), 24);
    bPdfCancel = makeEditorButton(this, "bPdfCancel", EditorButton::Cancel, QStringLiteral("Close"), 24);
    bPdfOK->setFixedSize(40, 34);
    bPdfCancel->setFixedSize(40, 34);
    buttons->addWidget(bPdfOK);
    buttons->addWidget(bPdfCancel);
    layout->addLayout(buttons);

    connect(bPdfOK, &QPushButton::clicked, this, &PdfProjectPanel::okClicked);
    connect(bPdfCancel, &QPushButton::clicked, this, &PdfProjectPanel::cancelClicked);
    hide();
}

ReportProject PdfProjectPanel::project() const {
    return {eProjectName->text().toStdString(), eLuminaire->text().toStdString(), eDriver->text().toStdString()};
}

void PdfProjectPanel::open() {
    show();
    raise();
    eProjectName->setFocus();
}

} // namespace lumeq
