#include "ui/widgets/printer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>

namespace mg::ui {
namespace {

// The papers offered when the printer does not list its own.
const QPageSize::PageSizeId kCommonPapers[] = {QPageSize::A4, QPageSize::A3, QPageSize::A5, QPageSize::Letter, QPageSize::Legal};

}  // namespace

QPrinter& programPrinter() {
    static QPrinter printer;
    return printer;
}

PrinterSetupDialog::PrinterSetupDialog(QPrinter& printer, QWidget* parent)
    : QDialog(parent),
      printer_(printer),
      printers_(new QComboBox(this)),
      papers_(new QComboBox(this)),
      portrait_(new QRadioButton(tr("P&ortrait"), this)),
      landscape_(new QRadioButton(tr("&Landscape"), this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(tr("Print Setup"));

    const QStringList names = QPrinterInfo::availablePrinterNames();
    if (names.isEmpty()) {
        printers_->addItem(tr("(no printer installed)"));
        printers_->setEnabled(false);
    } else {
        printers_->addItems(names);
        QString current = printer_.printerName();
        if (!names.contains(current)) current = QPrinterInfo::defaultPrinterName();
        printers_->setCurrentIndex(std::max(0, static_cast<int>(names.indexOf(current))));
    }
    fillPapers();
    connect(printers_, &QComboBox::currentIndexChanged, this, &PrinterSetupDialog::fillPapers);

    (printer_.pageLayout().orientation() == QPageLayout::Landscape ? landscape_ : portrait_)->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(tr("&Printer:"), printers_);
    form->addRow(tr("Pape&r:"), papers_);
    auto* orientation = new QGroupBox(tr("Orientation"), this);
    auto* choice = new QHBoxLayout(orientation);
    choice->addWidget(portrait_);
    choice->addWidget(landscape_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(orientation);
    layout->addWidget(buttons_);

    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

// The papers of the chosen printer (or the common ones), the printer's own paper selected.
void PrinterSetupDialog::fillPapers() {
    const QPageSize::PageSizeId shown =
        papers_->count() > 0 ? static_cast<QPageSize::PageSizeId>(papers_->currentData().toInt()) : printer_.pageLayout().pageSize().id();
    QList<QPageSize> sizes;
    if (printers_->isEnabled()) sizes = QPrinterInfo::printerInfo(printers_->currentText()).supportedPageSizes();
    if (sizes.isEmpty())
        for (QPageSize::PageSizeId id : kCommonPapers) sizes.append(QPageSize(id));
    papers_->clear();
    for (const QPageSize& s : sizes)
        if (s.id() != QPageSize::Custom) papers_->addItem(s.name(), static_cast<int>(s.id()));
    const int at = papers_->findData(static_cast<int>(shown));
    papers_->setCurrentIndex(at >= 0 ? at : 0);
}

void PrinterSetupDialog::apply() {
    if (printers_->isEnabled()) printer_.setPrinterName(printers_->currentText());
    if (papers_->count() > 0) printer_.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(papers_->currentData().toInt())));
    printer_.setPageOrientation(landscape_->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
}

bool printerSetup(QWidget* parent) {
    PrinterSetupDialog dialog(programPrinter(), parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace mg::ui
