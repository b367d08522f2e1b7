#pragma once
// The user interface of the tests: records every message, every wait/retry message and
// every progress text, and answers from a script (or with the default button).

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/port.h"

namespace mg::ui {

class ScriptedUserInterface : public UserInterface, public ProgressView {
public:
    int message(const Message& m) override;
    using UserInterface::message;
    int waitRetry(std::string_view text, int ticks) override;
    void setClipboard(std::string_view text) override { clipboard = std::string(text); }
    void halt(std::string_view text) override;

    void setCaption(std::string_view text) override { captions.emplace_back(text); }
    void setUserText(std::string_view text) override { userTexts.emplace_back(text); }
    void setPercentText(std::string_view text) override { percentTexts.emplace_back(text); }
    void setBar(int percent) override { bars.push_back(percent); }

    // The answers to the next messages, in order; when none is left the default button.
    std::deque<int> answers;
    // The answers to the next wait/retry messages (1 retry, 0 give up); default 1.
    std::deque<int> waitAnswers;
    // Called when a message is shown, before it is answered (tests use it to act meanwhile).
    std::function<void(const Message&)> onMessage;
    // Called when a wait/retry message is shown, before it is answered.
    std::function<void(std::string_view)> onWaitRetry;

    std::vector<Message> messages;
    std::vector<std::string> waitTexts;
    std::vector<std::string> halts;
    std::vector<std::string> captions, userTexts, percentTexts;
    std::vector<int> bars;
    std::string clipboard;

    // The texts of the messages shown, in order.
    std::vector<std::string> texts() const;
};

}  // namespace mg::ui
