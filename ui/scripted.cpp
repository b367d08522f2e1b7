#include "ui/scripted.h"

namespace mg::ui {

int ScriptedUserInterface::message(const Message& m) {
    messages.push_back(m);
    if (onMessage) onMessage(m);
    if (answers.empty()) return m.defaultButton;
    int a = answers.front();
    answers.pop_front();
    return a;
}

int ScriptedUserInterface::waitRetry(std::string_view text, int) {
    waitTexts.emplace_back(text);
    if (onWaitRetry) onWaitRetry(text);
    if (waitAnswers.empty()) return 1;
    int a = waitAnswers.front();
    waitAnswers.pop_front();
    return a;
}

void ScriptedUserInterface::halt(std::string_view text) {
    halts.emplace_back(text);
    markHalted(text);
}

std::vector<std::string> ScriptedUserInterface::texts() const {
    std::vector<std::string> out;
    for (const Message& m : messages) out.push_back(m.text);
    return out;
}

}  // namespace mg::ui
