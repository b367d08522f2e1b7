#pragma once
// The program's printer: the one the printer set-up chooses and the reports print on.

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QPrinter;
class QRadioButton;
class QWidget;

namespace mg::ui {

QPrinter& programPrinter();

// The printer set-up: which printer the program prints on, its paper and its orientation.
// It prints nothing, and it never turns the printer into a file: OK applies the choices to
// the printer, Cancel leaves it as it was.
class PrinterSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrinterSetupDialog(QPrinter& printer, QWidget* parent = nullptr);

    QComboBox* printerBox() const { return printers_; }
    QComboBox* paperBox() const { return papers_; }
    QRadioButton* portraitButton() const { return portrait_; }
    QRadioButton* landscapeButton() const { return landscape_; }
    QDialogButtonBox* buttons() const { return buttons_; }

    // Puts the choices on the printer (what OK does).
    void apply();

private:
    void fillPapers();

    QPrinter& printer_;
    QComboBox* printers_;
    QComboBox* papers_;
    QRadioButton* portrait_;
    QRadioButton* landscape_;
    QDialogButtonBox* buttons_;
};

// The printer set-up on the program's printer, modal to `parent`. True when it was accepted.
bool printerSetup(QWidget* parent);

}  // namespace mg::ui
