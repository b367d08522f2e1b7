#pragma once
// What the import benchmarks share: a user interface that answers every message with its
// default button and shows nothing, and a way to run raw SQL that stops the benchmark on
// an error.

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/port.h"

namespace mg::bench {

struct QuietUi : ui::UserInterface, ui::ProgressView {
    int messages = 0;
    int message(const ui::Message& m) override {
        ++messages;
        return m.defaultButton;
    }
    using UserInterface::message;
    int waitRetry(std::string_view, int) override { return 1; }
    void setClipboard(std::string_view) override {}
    void halt(std::string_view t) override { std::fprintf(stderr, "halt: %.*s\n", int(t.size()), t.data()); }
    void setCaption(std::string_view) override {}
    void setUserText(std::string_view) override {}
    void setPercentText(std::string_view) override {}
    void setBar(int) override {}
};

inline void exec(sqlite3* db, const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n%s\n", msg, sql.c_str());
        std::exit(1);
    }
}

}  // namespace mg::bench
