#pragma once
// The browse list engine: the page-loaded list behind every list window. A list window
// holds in memory only as many rows as its list control shows; every scroll, page, jump
// or search fetches rows from the database in the direction of the movement, restarting
// next to a row it holds by that row's stored position. The engine never counts the
// table's rows and never reads more than one page ahead.
//
// One engine serves the six list windows; what differs is a BrowseConfig (table, view
// join, sort orders, carried columns, search kind, kind of list). The engine talks to its
// window only through BrowseHooks, so it runs without any widget: the window shows the
// engine's buffer through the list format and passes the list's events in.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/record.h"
#include "data/schema.h"
#include "maintenance/integrity.h"

namespace mg::browse {

// A column of a table's record buffer.
struct ColumnRef {
    TableId table;
    int column;
};
template <class Handle>
constexpr ColumnRef col(Handle h) {
    return {h.table, h.index};
}

enum class Search { FirstLetter, TypedText };
enum class ListKind { Maintenance, Lookup };

struct SortOrder {
    Key key;
    // The view's secondary order ("+DCH:RecordID"): rows with equal keys follow it, then
    // their row identity. Every secondary order used here names a column of the key or the
    // row identity, so the key order with the row identity already is that order.
    std::string secondaryOrder;
    ColumnRef searchColumn;                  // the key's first column: what typing searches
    std::optional<ColumnRef> secondColumn;   // cleared when a first-letter search jumps
};

// A table joined into the view: for each row read, `table` is read by `key` with `to`
// set to the row's `from` value; a row without a match shows its joined columns blank.
struct ViewJoin {
    TableId table;
    Key key;
    ColumnRef from;
    ColumnRef to;
};

struct BrowseConfig {
    std::string procedure;            // "BROWSEDOCOUTLAYS"
    TableId primary;
    std::string tableName;            // named by message 35
    std::vector<SortOrder> sorts;     // sort order n is sorts[n - 1]
    std::vector<ColumnRef> shown;     // the displayed columns, in list-format order
    std::vector<ColumnRef> hidden;    // carried but not displayed
    std::optional<ViewJoin> join;
    Search search = Search::FirstLetter;
    ListKind kind = ListKind::Maintenance;
    // The sort order chosen by each tab (tab 0 first); empty: always sort order 1.
    std::vector<int> sortOfTab;
    // The tables the window opens, in order.
    std::vector<TableId> tables;
};

// One entry of the list buffer: the carried columns (shown ones first), the row mark and
// the row's position in the view.
struct Entry {
    std::vector<Slot> values;
    uint8_t mark = 0;
    std::string position;
};

enum class Scroll { Up, Down, PageUp, PageDown, Top, Bottom };
enum class Button { Insert, Change, Delete, Select, Close };
enum class ListKey { DoubleClick, Insert, Delete, CtrlEnter, Backspace, Character };

constexpr int kLocatorMax = 30;

// What the engine asks of its window. Every hook may be left empty.
struct BrowseHooks {
    std::function<int()> rowsShown;                   // rows the list control shows (at least 1)
    std::function<void()> postCloseWindow;            // queue the window's close
    std::function<void()> postNewSelection;           // queue a new-selection event of the list
    std::function<void(Button)> postAccepted;         // queue a button's accepted event
    std::function<void(int)> selectInControl;         // highlight entry n (1-based; 0 none)
    std::function<void()> bufferChanged;              // the buffer's entries changed: redisplay
    std::function<void(bool)> setChangeDelete;        // enable or disable Change and Delete
    std::function<int(int request)> callForm;         // runs the update form; its response
    std::function<int(const std::string& menu)> popup;  // shows a menu; the item chosen (1-based) or 0
    std::function<void(bool)> waitCursor;
    std::function<void(bool)> showScrollBar;
    std::function<void(int)> setThumb;                // 0, 50 or 100
    std::function<void()> focusList;
    std::function<void()> closeWindow;                // close now, with the local response
};

class BrowseEngine {
public:
    // `request`: the caller's request word taken on entry (4 for a lookup in select mode).
    BrowseEngine(Session s, const BrowseConfig& config, int request, BrowseHooks hooks);

    const BrowseConfig& config() const { return config_; }
    const std::vector<Entry>& entries() const { return entries_; }
    int recordCount() const { return static_cast<int>(entries_.size()); }
    int currentChoice() const { return currentChoice_; }
    int currentScroll() const { return currentScroll_; }
    int sortOrder() const { return sortOrder_; }
    int itemsToFill() const { return itemsToFill_; }
    const std::string& locatorValue() const { return locator_; }
    bool selectMode() const { return config_.kind == ListKind::Lookup && originalRequest_ == SelectRecord; }
    int localResponse() const { return localResponse_; }
    bool closing() const { return closing_; }
    // The update form is open: the list leaves the record buffer alone until it returns.
    bool formOpen() const { return formOpen_; }
    // The text of the right-click menu for the buffer as it stands.
    std::string popupText() const;
    // An entry's value of carried column i, as the list shows it before its picture.
    const Slot& value(int entry, int column) const { return entries_[entry - 1].values[column]; }

    // ---- what the window passes in ----------------------------------------------------
    // The window has opened or gained the focus or been resized: the first call shows the
    // first page; every later one reloads the page around the highlighted row.
    void windowShown();
    void gainedFocus();
    void tabChosen(int tab);                       // 0-based
    void newSelection(bool rightClick, int controlChoice);
    void processScroll(Scroll action);
    void scrollDrag(int thumb);
    void alertKey(ListKey key, char typed = 0);
    void buttonInsert();
    void buttonChange();
    void buttonDelete();
    void selectPressed();
    void closePressed();

    // ---- the engine's routines --------------------------------------------------------
    void reset();
    int fillRecord();
    void refreshPage();
    void locateRecord();
    void selectSort();
    void refreshWindow();
    void syncWindow();
    void getRecord();
    void fillBuffer();
    void postNewSelection();

    int refreshMode = 0;   // 1 view row, 2 buffer, 3 top, 4 bottom, 5 buffer (internal)
    int locateMode = 0;    // 1 position (as 3), 2 key values, 3 the row just edited
    bool forceRefresh = false;

private:
    Table& table();
    Key sortKey() const;
    const SortOrder& sort() const { return config_.sorts[sortOrder_ - 1]; }
    int rows() const;
    void fillQueue(Entry& e);
    void readJoin(std::vector<std::pair<std::string, std::optional<Record>>>& cache);
    void scrollOne(bool up);
    void scrollPage(bool up);
    void scrollEnd(bool top);
    void callUpdate(int request);
    void firstLetter(char typed);
    void typedSearch(ListKey key, char typed);
    void setSearchColumn(std::string_view text);
    std::string firstCharacter() const;
    void highlight();
    void emptied();

    Session s_;
    BrowseConfig config_;
    BrowseHooks hooks_;
    std::vector<ColumnRef> carried_;
    std::vector<Entry> entries_;

    int localRequest_ = 0;
    int originalRequest_ = 0;
    int localResponse_ = RequestCancelled;
    int currentTab_ = 0;

    int currentChoice_ = 0;
    Scroll currentEvent_ = Scroll::Down;
    int itemsToFill_ = 0;
    bool fillForward_ = true;
    int sortOrder_ = 0;
    int lastSortOrder_ = 0;
    bool addQueue_ = true;
    int currentScroll_ = 0;
    std::string highlightedPosition_;
    bool newSelectPosted_ = false;
    std::string viewOrder_;   // the secondary order set on the view (the first one used)
    std::string locator_;
    bool closing_ = false;
    bool shown_ = false;
    bool formOpen_ = false;
};

}  // namespace mg::browse
