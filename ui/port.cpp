#include "ui/port.h"

namespace mg::ui {

std::string withLineBreaks(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c == '|') c = '\n';
    return s;
}

int UserInterface::message(std::string_view text, std::string_view caption, Icon icon, int buttons, int defaultButton) {
    return message(Message{std::string(text), std::string(caption), icon, buttons, defaultButton});
}

}  // namespace mg::ui
