#include "maintenance/browse_engine.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "data/context.h"
#include "data/table.h"

namespace mg::browse {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

BrowseEngine::BrowseEngine(Session s, const BrowseConfig& config, int request, BrowseHooks hooks)
    : s_(s), config_(config), hooks_(std::move(hooks)), localRequest_(request), originalRequest_(request) {
    carried_ = config_.shown;
    carried_.insert(carried_.end(), config_.hidden.begin(), config_.hidden.end());
}

Table& BrowseEngine::table() { return s_.ctx.table(config_.primary); }
Key BrowseEngine::sortKey() const { return sort().key; }

int BrowseEngine::rows() const {
    int n = hooks_.rowsShown ? hooks_.rowsShown() : 1;
    return std::max(n, 1);
}

std::string BrowseEngine::popupText() const {
    if (config_.kind == ListKind::Maintenance)
        return entries_.empty() ? "&Insert|~&Change|~&Delete" : "&Insert|&Change|&Delete";
    return selectMode() && !entries_.empty() ? "&Select" : "~&Select";
}

// ---- the view ----------------------------------------------------------------------------

// Closes the view and starts it again at the beginning of the active sort's key.
void BrowseEngine::reset() {
    if (viewOrder_.empty()) viewOrder_ = sort().secondaryOrder;
    if (table().setStart(sortKey()) != 0) standardWarning(s_, WarnViewOpenError);
}

void BrowseEngine::readJoin(std::vector<std::pair<std::string, std::optional<Record>>>& cache) {
    const ViewJoin& j = *config_.join;
    const Record& from = s_.ctx.rec(j.from.table);
    const std::string value = from.slot(j.from.column).text;
    Table& joined = s_.ctx.table(j.table);
    // Rows of one page mostly share few codes: each is read once per fetch.
    for (auto& [code, rec] : cache) {
        if (code != value) continue;
        if (rec) joined.rec() = *rec;
        else joined.clear();
        return;
    }
    joined.rec().setText(j.to.column, value);
    const bool found = joined.get(j.key) == 0;
    if (!found) joined.clear();
    cache.emplace_back(value, found ? std::optional<Record>(joined.rec()) : std::nullopt);
    s_.ctx.ok();
}

void BrowseEngine::fillQueue(Entry& e) {
    e.values.clear();
    e.values.reserve(carried_.size());
    for (const ColumnRef& c : carried_) e.values.push_back(s_.ctx.rec(c.table).slot(c.column));
    e.mark = 0;
    e.position = table().position(sortKey());
}

void BrowseEngine::fillBuffer() {
    if (currentChoice_ < 1 || currentChoice_ > recordCount()) return;
    const Entry& e = entries_[currentChoice_ - 1];
    for (size_t i = 0; i < carried_.size(); ++i) s_.ctx.rec(carried_[i].table).slot(carried_[i].column) = e.values[i];
}

// Fetches itemsToFill rows in the fill direction. Afterwards itemsToFill holds the rows
// that could not be fetched because the end of the view was reached.
int BrowseEngine::fillRecord() {
    if (closing_) return 0;
    Table& t = table();
    const Key key = sortKey();
    std::string restart;
    bool skipFirst = false;
    if (!entries_.empty()) {
        // Restart next to the buffer's row at the far end of the movement; that row itself
        // is read first again and skipped.
        restart = fillForward_ ? entries_.back().position : entries_.front().position;
        t.reset(key, restart);
        skipFirst = true;
        t.readExactly(itemsToFill_ + 1);
    } else {
        t.readExactly(itemsToFill_);
    }
    std::vector<std::pair<std::string, std::optional<Record>>> joinCache;
    bool changed = false;
    while (itemsToFill_ > 0) {
        const int rc = fillForward_ ? t.next() : t.previous();
        if (rc == NotFoundErr) break;
        if (rc != 0) {
            standardWarning(s_, WarnRecordFetchError, config_.tableName);
            closing_ = true;
            if (hooks_.postCloseWindow) hooks_.postCloseWindow();
            if (changed && hooks_.bufferChanged) hooks_.bufferChanged();
            return rc;
        }
        if (skipFirst) {
            skipFirst = false;
            if (t.position(key) == restart) continue;
        }
        if (config_.join) readJoin(joinCache);
        if (addQueue_) {
            while (recordCount() >= rows()) {
                if (fillForward_) entries_.erase(entries_.begin());
                else entries_.pop_back();
            }
            Entry e;
            fillQueue(e);
            if (fillForward_) entries_.push_back(std::move(e));
            else entries_.insert(entries_.begin(), std::move(e));
            changed = true;
        }
        --itemsToFill_;
    }
    s_.ctx.ok();
    addQueue_ = true;
    return 0;
}

void BrowseEngine::emptied() {
    table().clear();
    currentChoice_ = 0;
    if (hooks_.setChangeDelete) hooks_.setChangeDelete(false);
    if (hooks_.showScrollBar) hooks_.showScrollBar(false);
}

// Highlights the entry of highlightedPosition (the last entry when none has it); with no
// row to keep, the last entry after a reload from the bottom and the first otherwise.
void BrowseEngine::highlight() {
    if (entries_.empty()) {
        emptied();
        return;
    }
    if (!highlightedPosition_.empty()) {
        currentChoice_ = recordCount();
        for (int i = 0; i < recordCount(); ++i)
            if (entries_[i].position == highlightedPosition_) currentChoice_ = i + 1;
    } else {
        currentChoice_ = refreshMode == 4 ? recordCount() : 1;
    }
    if (hooks_.selectInControl) hooks_.selectInControl(currentChoice_);
    fillBuffer();
    if (hooks_.setChangeDelete) hooks_.setChangeDelete(true);
}

// Reloads one page around the anchor given by refreshMode.
void BrowseEngine::refreshPage() {
    if (closing_) return;
    if (hooks_.waitCursor) hooks_.waitCursor(true);
    Table& t = table();
    if (refreshMode == 1) {
        highlightedPosition_ = t.position(sortKey());
        t.reset(sortKey(), highlightedPosition_);
        refreshMode = 3;
    } else if (!entries_.empty()) {
        const int at = currentChoice_ >= 1 && currentChoice_ <= recordCount() ? currentChoice_ : recordCount();
        highlightedPosition_ = entries_[at - 1].position;
        // A page that now shows fewer rows (the list was made smaller) starts late enough to
        // keep the highlighted row on it: what Change and Delete act on stays in sight.
        const int first = std::max(1, at - rows() + 1);
        t.reset(sortKey(), entries_[first - 1].position);
        refreshMode = 5;
    } else {
        highlightedPosition_.clear();
        reset();
    }
    entries_.clear();
    itemsToFill_ = rows();
    fillForward_ = refreshMode != 4;
    fillRecord();
    if (!closing_ && !highlightedPosition_.empty() && itemsToFill_ > 0) {
        // The page reached the end of the view: complete it with the rows before it.
        if (entries_.empty()) reset();
        fillForward_ = !fillForward_;
        fillRecord();
    }
    highlight();
    if (hooks_.bufferChanged) hooks_.bufferChanged();
    if (hooks_.waitCursor) hooks_.waitCursor(false);
    refreshMode = 0;
}

// Positions the list at the row given by the key values in the record buffer (mode 2) or
// at the row just edited (mode 3).
void BrowseEngine::locateRecord() {
    if (closing_) return;
    if (locateMode == 1) locateMode = 3;
    if (viewOrder_.empty()) viewOrder_ = sort().secondaryOrder;
    Table& t = table();
    const int rc = locateMode == 3 ? t.reset(sortKey(), t.position(sortKey())) : t.set(sortKey());
    if (rc != 0) standardWarning(s_, WarnViewOpenError);
    entries_.clear();
    itemsToFill_ = 1;
    fillForward_ = true;
    addQueue_ = false;  // the fetch only moves the view onto the located row
    fillRecord();
    addQueue_ = true;
    if (closing_) return;
    refreshMode = itemsToFill_ == 0 ? 1 : 4;
    refreshPage();
    postNewSelection();
    locateMode = 0;
}

// ---- scrolling ---------------------------------------------------------------------------

void BrowseEngine::scrollOne(bool up) {
    if (up && currentChoice_ > 1) {
        --currentChoice_;
        itemsToFill_ = 0;
        return;
    }
    if (!up && currentChoice_ < recordCount()) {
        ++currentChoice_;
        itemsToFill_ = 0;
        return;
    }
    const int before = recordCount();
    itemsToFill_ = 1;
    fillForward_ = !up;
    fillRecord();
    // A buffer that was not full grows instead of scrolling: follow the new row.
    if (!up && recordCount() > before) currentChoice_ = recordCount();
}

void BrowseEngine::scrollPage(bool up) {
    itemsToFill_ = rows();
    fillForward_ = !up;
    fillRecord();
    if (itemsToFill_ > 0) {
        if (up) currentChoice_ = std::max(1, currentChoice_ - itemsToFill_);
        else currentChoice_ = std::min(recordCount(), currentChoice_ + itemsToFill_);
    }
}

void BrowseEngine::scrollEnd(bool top) {
    entries_.clear();
    reset();
    itemsToFill_ = rows();
    fillForward_ = top;  // reading backward from a fresh start begins at the last row
    fillRecord();
    currentChoice_ = top ? 1 : recordCount();
}

void BrowseEngine::processScroll(Scroll action) {
    if (entries_.empty() || closing_ || formOpen_) return;
    if (config_.search == Search::TypedText) {
        locator_.clear();
        setSearchColumn("");
    }
    currentEvent_ = action;
    switch (action) {
    case Scroll::Up: scrollOne(true); break;
    case Scroll::Down: scrollOne(false); break;
    case Scroll::PageUp: scrollPage(true); break;
    case Scroll::PageDown: scrollPage(false); break;
    case Scroll::Top: scrollEnd(true); break;
    case Scroll::Bottom: scrollEnd(false); break;
    }
    if (closing_) return;
    if (entries_.empty()) {
        emptied();
        if (hooks_.bufferChanged) hooks_.bufferChanged();
        return;
    }
    currentChoice_ = std::clamp(currentChoice_, 1, recordCount());
    if (hooks_.bufferChanged) hooks_.bufferChanged();
    if (hooks_.selectInControl) hooks_.selectInControl(currentChoice_);
    postNewSelection();
    const bool upward = action == Scroll::Up || action == Scroll::PageUp;
    if (recordCount() < rows()) currentScroll_ = 0;
    else if (action == Scroll::Top) currentScroll_ = 0;
    else if (action == Scroll::Bottom) currentScroll_ = 100;
    else if (itemsToFill_ > 0) currentScroll_ = upward ? 0 : 100;
    else currentScroll_ = 50;
}

void BrowseEngine::scrollDrag(int thumb) {
    if (thumb <= 1) processScroll(Scroll::Top);
    else if (thumb >= 100) processScroll(Scroll::Bottom);
}

// ---- sort orders and refreshes ------------------------------------------------------------

void BrowseEngine::setSearchColumn(std::string_view text) {
    const ColumnRef c = sort().searchColumn;
    s_.ctx.rec(c.table).setText(c.column, text);
}

void BrowseEngine::selectSort() {
    if (closing_) return;
    lastSortOrder_ = sortOrder_;
    int chosen = 1;
    if (!config_.sortOfTab.empty())
        chosen = config_.sortOfTab[std::clamp(currentTab_, 0, static_cast<int>(config_.sortOfTab.size()) - 1)];
    if (config_.search == Search::TypedText && chosen != lastSortOrder_) {
        locator_.clear();
        const ColumnRef c = config_.sorts[chosen - 1].searchColumn;
        s_.ctx.rec(c.table).setText(c.column, "");
    }
    if (chosen == lastSortOrder_ && !forceRefresh) return;
    if (lastSortOrder_ != 0) getRecord();
    sortOrder_ = chosen;
    reset();
    if (lastSortOrder_ == 0 && !selectMode()) {
        entries_.clear();
        refreshMode = 3;
        refreshPage();
        postNewSelection();
    } else {
        // A lookup in select mode opens at the first row whose key is not below the key
        // column's value; later, the highlighted row is found again in the (new) key.
        locateMode = 2;
        locateRecord();
    }
    if (!entries_.empty() && !closing_) {
        getRecord();
        fillBuffer();
    }
}

void BrowseEngine::refreshWindow() {
    selectSort();
    if (hooks_.setThumb) hooks_.setThumb(currentScroll_);
    // A page read again was redisplayed as it was read; otherwise the entries are those shown
    // and only the highlight may have moved. A list closing may have lost its entries unseen.
    if (closing_) {
        if (hooks_.bufferChanged) hooks_.bufferChanged();
    } else if (hooks_.selectInControl) {
        hooks_.selectInControl(currentChoice_);
    }
    forceRefresh = false;
}

void BrowseEngine::windowShown() {
    if (formOpen_) return;
    if (shown_) {
        gainedFocus();
        return;
    }
    shown_ = true;
    addQueue_ = true;
    refreshWindow();
    if (hooks_.focusList) hooks_.focusList();
}

void BrowseEngine::gainedFocus() {
    // While the update form is open the record buffer is the form's: a refresh would read the
    // highlighted row over what the user is editing. The list reloads when the form returns.
    if (formOpen_) return;
    if (!shown_) {
        windowShown();
        return;
    }
    forceRefresh = true;
    refreshWindow();
}

void BrowseEngine::tabChosen(int tab) {
    currentTab_ = tab;
    if (shown_ && !formOpen_) refreshWindow();
}

// Re-reads the highlighted row into the record buffer, watched, so that a later write of
// it notices a change made meanwhile by another station.
void BrowseEngine::getRecord() {
    if (currentChoice_ < 1 || currentChoice_ > recordCount()) return;
    Table& t = table();
    t.watch();
    if (t.reget(sortKey(), entries_[currentChoice_ - 1].position) != 0) {
        // The row is gone (another station deleted it). The buffer keeps what the list shows
        // of it but stands for no row: a later write or delete of it fails instead of landing
        // on the row the table read last (the end of the page).
        t.forgetRow();
        s_.ctx.ok();
    }
}

void BrowseEngine::syncWindow() {
    if (!entries_.empty()) getRecord();
}

void BrowseEngine::postNewSelection() {
    if (newSelectPosted_) return;
    newSelectPosted_ = true;
    if (hooks_.postNewSelection) hooks_.postNewSelection();
}

void BrowseEngine::newSelection(bool rightClick, int controlChoice) {
    newSelectPosted_ = false;
    // A selection posted before the form opened (after a hot key) reaches the list inside the
    // form's own event loop: taking over the list's row then would copy the columns the list
    // shows over the record just read for the form. The list posts a new one when the form
    // returns.
    if (closing_ || formOpen_) return;
    if (rightClick) {
        const int item = hooks_.popup ? hooks_.popup(popupText()) : 0;
        if (!hooks_.postAccepted || item <= 0) return;
        if (config_.kind == ListKind::Maintenance) {
            if (item == 1) hooks_.postAccepted(Button::Insert);
            else if (!entries_.empty() && item == 2) hooks_.postAccepted(Button::Change);
            else if (!entries_.empty() && item == 3) hooks_.postAccepted(Button::Delete);
        } else if (selectMode() && !entries_.empty() && item == 1) {
            hooks_.postAccepted(Button::Select);
        }
        return;
    }
    if (entries_.empty()) return;
    currentChoice_ = std::clamp(controlChoice, 1, recordCount());
    fillBuffer();
    if (hooks_.showScrollBar) hooks_.showScrollBar(recordCount() == rows());
    refreshWindow();
}

// ---- keys and searches ---------------------------------------------------------------------

std::string BrowseEngine::firstCharacter() const {
    const ColumnRef c = sort().searchColumn;
    const std::string& v = s_.ctx.rec(c.table).slot(c.column).text;
    return v.empty() ? std::string() : v.substr(0, 1);
}

void BrowseEngine::firstLetter(char typed) {
    if (static_cast<unsigned char>(typed) <= ' ' || sortOrder_ == 0) return;
    std::string first = firstCharacter();
    if (!entries_.empty() && !first.empty() && lower(first[0]) == lower(typed)) {
        processScroll(Scroll::Down);
        fillBuffer();
        first = firstCharacter();
        if (!first.empty() && lower(first[0]) == lower(typed)) {
            if (hooks_.selectInControl) hooks_.selectInControl(currentChoice_);
            return;
        }
    }
    setSearchColumn(std::string(1, typed));
    if (const auto& second = sort().secondColumn) {
        Record& r = s_.ctx.rec(second->table);
        const ColType type = r.decl().columns[second->column].type;
        if (type == ColType::Text || type == ColType::ZText) r.setText(second->column, "");
        else r.slot(second->column) = Slot{};
    }
    locateMode = 2;
    locateRecord();
}

void BrowseEngine::typedSearch(ListKey key, char typed) {
    if (key == ListKey::Backspace) {
        if (locator_.empty()) return;
        locator_.pop_back();
    } else {
        if (static_cast<unsigned char>(typed) < ' ') return;
        if (static_cast<int>(locator_.size()) >= kLocatorMax) return;
        locator_ += typed;
    }
    setSearchColumn(locator_);
    locateMode = 2;
    locateRecord();
}

void BrowseEngine::alertKey(ListKey key, char typed) {
    if (closing_ || formOpen_) return;
    auto post = [this](Button b) {
        if (hooks_.postAccepted) hooks_.postAccepted(b);
    };
    const bool any = !entries_.empty();
    if (config_.kind == ListKind::Maintenance) {
        switch (key) {
        case ListKey::DoubleClick:
            if (any) {
                fillBuffer();
                post(Button::Change);
            }
            break;
        case ListKey::Insert: post(Button::Insert); break;
        case ListKey::Delete: if (any) post(Button::Delete); break;
        case ListKey::CtrlEnter: if (any) post(Button::Change); break;
        case ListKey::Character: firstLetter(typed); break;
        case ListKey::Backspace: break;
        }
    } else {
        switch (key) {
        case ListKey::DoubleClick:
            if (selectMode() && any) {
                post(Button::Select);
                return;  // no new selection after a double click that selects
            }
            break;
        case ListKey::Character:
        case ListKey::Backspace:
            if (config_.search == Search::TypedText) typedSearch(key, typed);
            else if (key == ListKey::Character) firstLetter(typed);
            break;
        default: break;
        }
    }
    postNewSelection();
}

// ---- buttons -----------------------------------------------------------------------------

void BrowseEngine::buttonInsert() {
    if (formOpen_) return;
    syncWindow();
    table().clear();
    callUpdate(InsertRecord);
}

void BrowseEngine::buttonChange() {
    if (entries_.empty() || formOpen_) return;
    syncWindow();
    callUpdate(ChangeRecord);
}

void BrowseEngine::buttonDelete() {
    if (entries_.empty() || formOpen_) return;
    syncWindow();
    callUpdate(DeleteRecord);
}

void BrowseEngine::callUpdate(int request) {
    if (closing_) return;
    s_.ctx.globalRequest = request;
    s_.ctx.vcrRequest = 0;
    int response = RequestCancelled;
    if (hooks_.callForm) {
        formOpen_ = true;
        response = hooks_.callForm(request);
        formOpen_ = false;
    } else {
        s_.ctx.globalResponse = RequestCancelled;
    }
    reset();
    if (response == RequestCompleted && (request == InsertRecord || request == ChangeRecord)) {
        // The new or changed row, highlighted in its key order.
        locateMode = 3;
        locateRecord();
    } else {
        if (response == RequestCompleted && request == DeleteRecord && currentChoice_ >= 1 && currentChoice_ <= recordCount())
            entries_.erase(entries_.begin() + (currentChoice_ - 1));
        refreshMode = 2;
        refreshPage();
    }
    postNewSelection();
    if (hooks_.focusList) hooks_.focusList();
    localRequest_ = originalRequest_;
    localResponse_ = RequestCancelled;
    refreshWindow();
}

void BrowseEngine::selectPressed() {
    if (formOpen_) return;
    syncWindow();
    localResponse_ = RequestCompleted;
    if (hooks_.closeWindow) hooks_.closeWindow();
}

void BrowseEngine::closePressed() {
    if (formOpen_) return;
    syncWindow();
    localResponse_ = RequestCancelled;
    if (hooks_.closeWindow) hooks_.closeWindow();
}

}  // namespace mg::browse
