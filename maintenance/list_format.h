#pragma once
// List format strings: how a list control shows its columns. A format such as
//     "73L(2)|M~DocumentName~@s10@60R(2)|M~OutlayAmount~C@n-26.2@"
// is a run of column descriptions, each
//     width  alignment[(indent)]  modifiers  ~header~[alignment[(indent)]]  @picture@
// width and indents in dialog units; alignment L (left), R (right), C (centred) or D
// (decimal: the end of the value, its decimal point for a number, `indent` units in from
// the right edge); modifiers '|' (a line right of the column), 'M' (resizable by the
// user), '_' (underlined) and the like are kept as flags. The header's own alignment
// defaults to the column's. Parsed once when the window is built.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mg::browse {

enum class Align { Left, Right, Centre, Decimal };

struct ListColumn {
    int width = 0;           // dialog units
    Align align = Align::Left;
    int indent = 0;          // dialog units in from the aligned edge
    bool rightBorder = false;
    bool resizable = false;
    std::string header;
    Align headerAlign = Align::Left;
    int headerIndent = 0;
    std::string picture;     // "s10", "n-26.2" (without the '@')
};

// The columns of a format string, or nullopt (with `why` set) when it is not well formed.
std::optional<std::vector<ListColumn>> parseListFormat(std::string_view format, std::string* why = nullptr);

}  // namespace mg::browse
