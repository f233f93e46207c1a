#pragma once
// The project dialog of the PDF report: project name, luminaire and driver, kept between reports.

#include "report/report.h"

#include <QFrame>

class QLineEdit;
class QPushButton;

namespace lumeq {

class PdfProjectPanel : public QFrame {
    Q_OBJECT

public:
    static constexpr int kNameLength = 50;
    static constexpr int kLuminaireLength = 25;
    static constexpr int kDriverLength = 25;

    explicit PdfProjectPanel(QWidget* parent);

    ReportProject project() const;
    // Shows the panel over the window with the input focus in the project name.
    void open();

signals:
    void okClicked();
    void cancelClicked();

private:
    QLineEdit* eProjectName = nullptr;
    QLineEdit* eLuminaire = nullptr;
    QLineEdit* eDriver = nullptr;
    QPushButton* bPdfOK = nullptr;
    QPushButton* bPdfCancel = nullptr;
};

} // namespace lumeq
