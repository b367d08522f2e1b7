#pragma once
// The six list windows as data: each one's engine configuration and what its window shows
// (caption, list tip, list format, tabs, buttons). The windows (maintenance/windows/)
// build themselves from these; the tests walk them without a window.

#include <string>
#include <vector>

#include "maintenance/browse_engine.h"

namespace mg::browse {

enum class ListWindow { DocOutlays, DocFees, SelectDocument, SelectOutlayType, SelectNominal, SelectTask };

struct ListButton {
    Button button;
    std::string name;   // ?INSERT:4
    std::string text;   // "&Insert"
    std::string tip;
};

struct ListWindowDef {
    BrowseConfig engine;
    std::string caption;
    std::string listTip;      // empty: none
    std::string format;       // the list control's format string
    std::vector<std::string> tabs;
    std::vector<ListButton> buttons;   // the action buttons, then Close
};

const ListWindowDef& listWindowDef(ListWindow w);
const std::vector<ListWindow>& allListWindows();

}  // namespace mg::browse
