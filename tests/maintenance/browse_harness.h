#pragma once
// Drives a browse engine without a window: the hooks record what the window would be told,
// and pump() delivers the queued new-selection events as the list control would.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "data/context.h"
#include "maintenance/browse_engine.h"
#include "maintenance/browse_lists.h"
#include "maintenance/integrity.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg::test {

struct BrowseHarness {
    BrowseHarness(const TempDatabase& db, browse::ListWindow which, int rows, int request = 0, Context* on = nullptr)
        : ownCtx(on ? nullptr : db.context()), ctx(on ? *on : *ownCtx), shown(rows) {
        const browse::ListWindowDef& def = browse::listWindowDef(which);
        tables = std::make_unique<TableUse>(Session{ctx, ui}, def.engine.tables);
        browse::BrowseHooks h;
        h.rowsShown = [this] { return shown; };
        h.postCloseWindow = [this] { closePosted = true; };
        h.postNewSelection = [this] { ++newSelections; };
        h.postAccepted = [this](browse::Button b) { accepted.push_back(b); };
        h.selectInControl = [this](int n) { selected = n; };
        h.setChangeDelete = [this](bool on) { changeDelete = on; };
        h.callForm = [this](int request) {
            requests.push_back(request);
            int response = form ? form(request) : RequestCancelled;
            ctx.globalResponse = response;
            return response;
        };
        h.popup = [this](const std::string& menu) {
            menus.push_back(menu);
            return popupAnswer;
        };
        h.setThumb = [this](int t) { thumb = t; };
        h.showScrollBar = [this](bool on) { scrollBar = on; };
        h.closeWindow = [this] { closed = true; };
        engine = std::make_unique<browse::BrowseEngine>(Session{ctx, ui}, def.engine, request, h);
    }

    // Delivers queued new-selection events, the control's highlighted entry being the one
    // the engine last selected in it.
    void pump() {
        while (newSelections > 0) {
            --newSelections;
            engine->newSelection(false, selected);
        }
    }
    void open() {
        engine->windowShown();
        pump();
    }
    void scroll(browse::Scroll s) {
        engine->processScroll(s);
        pump();
    }
    void key(browse::ListKey k, char c = 0) {
        engine->alertKey(k, c);
        pump();
    }

    // Column 0 of every entry, trimmed.
    std::vector<std::string> firstColumn() const {
        std::vector<std::string> out;
        for (int i = 1; i <= engine->recordCount(); ++i) {
            std::string v = engine->value(i, 0).text;
            v.erase(v.find_last_not_of(' ') + 1);
            out.push_back(v);
        }
        return out;
    }
    std::string highlighted() const {
        if (engine->currentChoice() == 0) return "";
        return firstColumn()[engine->currentChoice() - 1];
    }

    std::unique_ptr<Context> ownCtx;
    Context& ctx;
    ui::ScriptedUserInterface ui;
    std::unique_ptr<TableUse> tables;
    std::unique_ptr<browse::BrowseEngine> engine;
    int shown;
    int newSelections = 0;
    int selected = 0;
    int thumb = -1;
    int popupAnswer = 0;
    bool scrollBar = false;
    bool changeDelete = false;
    bool closePosted = false;
    bool closed = false;
    std::vector<browse::Button> accepted;
    std::vector<int> requests;
    std::vector<std::string> menus;
    std::function<int(int)> form;
};

}  // namespace mg::test
