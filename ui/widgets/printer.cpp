#include "ui/widgets/printer.h"

#include <QPrintDialog>
#include <QPrinter>

namespace mg::ui {

QPrinter& programPrinter() {
    static QPrinter printer;
    return printer;
}

bool printerSetup(QWidget* parent) {
    QPrintDialog dialog(&programPrinter(), parent);
    dialog.setWindowTitle(QPrintDialog::tr("Print Setup"));
    // Set-up chooses the printer and its settings; which pages to print is the report's business.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace mg::ui
