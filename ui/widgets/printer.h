#pragma once
// The program's printer: the one the printer set-up chooses and the reports print on.

class QPrinter;
class QWidget;

namespace mg::ui {

QPrinter& programPrinter();

// The platform's printer set-up dialog on the program's printer. True when it was accepted.
bool printerSetup(QWidget* parent);

}  // namespace mg::ui
