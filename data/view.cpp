#include <algorithm>
#include <cctype>
#include <string>

#include "data/context.h"
#include "data/dialect.h"
#include "data/table.h"
#include "data/text.h"

// Views: a read over one table in a key order, limited by a filter over bound names. The
// filter is translated into a condition of the table's keyset pages.

namespace mg {
namespace {

using db::Param;

using text::eqNoCase;
using text::rtrim;

}  // namespace

// ---- views --------------------------------------------------------------------------------

View::View(Table& table, std::optional<Key> order) : table_(table), order_(order) {}

void View::bind(std::string_view name, const int32_t* value) {
    bound_.emplace_back(std::string(name), [value] { return Param::integer(*value); });
}
void View::bind(std::string_view name, const int64_t* value) {
    bound_.emplace_back(std::string(name), [value] { return Param::integer(*value); });
}
void View::bind(std::string_view name, const Decimal* value) {
    bound_.emplace_back(std::string(name), [value] {
        return value->scale() == 0 ? Param::integer(value->toInt64()) : Param::str(value->toString());
    });
}
void View::bind(std::string_view name, const std::string* value) {
    bound_.emplace_back(std::string(name), [value] { return Param::str(std::string(rtrim(*value))); });
}

int View::open() {
    Context& ctx = table_.ctx_;
    if (!table_.isOpen()) return ctx.setError(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    db::Connection* c = ctx.connection();
    if (!c) return ctx.errorCode();
    // Translate the filter: operands are column labels, bound names or literals.
    std::string sql;
    std::vector<Param> params;
    std::string_view f = filter_;
    size_t i = 0;
    auto skip = [&] { while (i < f.size() && std::isspace(static_cast<unsigned char>(f[i]))) ++i; };
    auto bad = [&](const std::string& why) { return ctx.setError(Error::driver("filter", "Bad filter \"" + filter_ + "\": " + why)); };
    while (true) {
        skip();
        if (i >= f.size()) break;
        // operand
        auto operand = [&]() -> int {
            skip();
            if (i >= f.size()) return bad("an operand is missing");
            if (f[i] == '\'') {
                std::string v;
                ++i;
                while (i < f.size()) {
                    if (f[i] == '\'') {
                        if (i + 1 < f.size() && f[i + 1] == '\'') { v += '\''; i += 2; continue; }
                        ++i;
                        break;
                    }
                    v += f[i++];
                }
                sql += "?";
                params.push_back(Param::str(std::string(rtrim(v))));  // texts compare without trailing blanks
                return 0;
            }
            size_t start = i;
            while (i < f.size() && (std::isalnum(static_cast<unsigned char>(f[i])) || f[i] == ':' || f[i] == '_' || f[i] == '.' || f[i] == '-'))
                ++i;
            std::string tok(f.substr(start, i - start));
            if (tok.empty()) return bad("an operand is missing");
            if (std::isdigit(static_cast<unsigned char>(tok[0])) || tok[0] == '-') {
                sql += "?";
                params.push_back(tok.find('.') == std::string::npos ? Param::integer(std::strtoll(tok.c_str(), nullptr, 10)) : Param::str(tok));
                return 0;
            }
            for (auto& [name, value] : bound_) {
                if (eqNoCase(name, tok)) {
                    sql += "?";
                    params.push_back(value());
                    return 0;
                }
            }
            size_t colon = tok.find(':');
            if (colon != std::string::npos && eqNoCase(tok.substr(0, colon), table_.decl().prefix)) {
                int col = table_.decl().columnIndex(tok.substr(colon + 1));
                if (col >= 0) {
                    const ColumnDecl& cd = table_.decl().columns[col];
                    sql += c->dialect().filterOperand(cd);
                    return 0;
                }
            }
            return bad("unknown name " + tok);
        };
        if (int rc = operand()) return rc;
        skip();
        static const char* ops[] = {"<>", "<=", ">=", "=", "<", ">"};
        std::string op;
        for (const char* o : ops)
            if (f.substr(i, std::char_traits<char>::length(o)) == o) { op = o; break; }
        if (op.empty()) return bad("a comparison is missing");
        i += op.size();
        sql += " " + op + " ";
        if (int rc = operand()) return rc;
        skip();
        if (i >= f.size()) break;
        if (f.substr(i, 3).size() == 3 && eqNoCase(f.substr(i, 3), "AND")) i += 3;
        else if (f.substr(i, 2) == "&&") i += 2;
        else if (f[i] == '&') i += 1;
        else return bad("expected AND");
        sql += " AND ";
    }
    int key = order_ ? order_->index : -1;
    if (int rc = table_.startFiltered(key, sql, params)) return rc;
    open_ = true;
    return ctx.ok();
}

int View::next() {
    if (!open_) return table_.ctx_.setError(Error::of(NotFoundErr));
    return table_.next();
}

int View::previous() {
    if (!open_) return table_.ctx_.setError(Error::of(NotFoundErr));
    return table_.previous();
}

int View::close() {
    open_ = false;
    table_.reading_ = false;
    table_.invalidatePage();
    return table_.ctx_.ok();
}

}  // namespace mg
