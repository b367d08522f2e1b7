#pragma once
// Printing a report's page list: every page on the printer at the printer's own resolution,
// each page placed on the paper's full area.

#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace mg::ui {

// Prints the pages on `printer`. False, with the reason in `error`, when the printer cannot
// be started or a page file cannot be read (the pages before it have gone to the printer).
bool printPages(const std::vector<std::string>& pageList, QPrinter& printer, std::string& error);

// The platform's print dialog on the program's printer, then the pages. False when the dialog
// was cancelled or printing failed (`error` then tells why; empty after a cancel).
bool printReport(const std::vector<std::string>& pageList, QWidget* parent, std::string& error);

}  // namespace mg::ui
