#include "tsql_conformance.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>

#include "data/dialect.h"
#include "data/schema.h"

namespace mg::test::tsql {
namespace {

// ---- tokens of a T-SQL text ----

enum class Tok { Space, String, Bracketed, DQuoted, Word, Number, Param, Punct };

struct Token {
    Tok kind;
    std::string text;  // a string's, a bracketed or quoted name's content; the text of the rest
};

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    auto quotedUntil = [&](char close, Tok kind) {
        std::string text;
        ++i;
        while (i < s.size()) {
            if (s[i] == close) {
                if (i + 1 < s.size() && s[i + 1] == close) {
                    text += close;
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            text += s[i++];
        }
        out.push_back({kind, text});
    };
    while (i < s.size()) {
        const char c = s[i];
        const auto u = static_cast<unsigned char>(c);
        if (std::isspace(u)) {
            size_t j = i;
            while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
            out.push_back({Tok::Space, std::string(s.substr(i, j - i))});
            i = j;
        } else if (c == '\'') {
            quotedUntil('\'', Tok::String);
        } else if ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'') {
            ++i;
            quotedUntil('\'', Tok::String);
        } else if (c == '[') {
            quotedUntil(']', Tok::Bracketed);
        } else if (c == '"') {
            quotedUntil('"', Tok::DQuoted);
        } else if (std::isalpha(u) || c == '_' || c == '@' || c == '#') {
            size_t j = i;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' || s[j] == '@' || s[j] == '#' || s[j] == '$')) ++j;
            out.push_back({Tok::Word, std::string(s.substr(i, j - i))});
            i = j;
        } else if (std::isdigit(u)) {
            size_t j = i;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
            out.push_back({Tok::Number, std::string(s.substr(i, j - i))});
            i = j;
        } else if (c == '?') {
            out.push_back({Tok::Param, "?"});
            ++i;
        } else {
            static const char* twoChar[] = {"<=", ">=", "<>", "!=", "||"};
            std::string p(1, c);
            for (const char* t : twoChar)
                if (s.substr(i, 2) == t) p = t;
            out.push_back({Tok::Punct, p});
            i += p.size();
        }
    }
    return out;
}

// The next token that is not blank space, from i on (t.size() when none).
size_t next(const std::vector<Token>& t, size_t i) {
    while (i < t.size() && t[i].kind == Tok::Space) ++i;
    return i;
}

bool isWord(const Token& tok, std::string_view w) { return tok.kind == Tok::Word && upper(tok.text) == w; }
bool isPunct(const Token& tok, std::string_view p) { return tok.kind == Tok::Punct && tok.text == p; }
bool isComparison(const Token& tok) {
    return tok.kind == Tok::Punct && (tok.text == "=" || tok.text == "<" || tok.text == ">" || tok.text == "<=" || tok.text == ">=" ||
                                      tok.text == "<>" || tok.text == "!=");
}

// The index of the parenthesis that closes the one at `open` (t.size() when none).
size_t closing(const std::vector<Token>& t, size_t open) {
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (isPunct(t[i], "(")) ++depth;
        else if (isPunct(t[i], ")") && --depth == 0) return i;
    }
    return t.size();
}

const std::regex& dateShape() {
    static const std::regex r(R"(\s*\d{4}-\d{1,2}-\d{1,2}([ T]\d{1,2}:\d{2}(:\d{2}(\.\d+)?)?)?\s*)");
    return r;
}

std::string shown(std::string_view sql) {
    std::string s(sql.substr(0, 300));
    return sql.size() > 300 ? s + "..." : s;
}

// ---- the rules ----

void orderByTwice(const std::vector<Token>& t, std::vector<std::string>& out) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t[i], "ORDER")) continue;
        size_t by = next(t, i + 1);
        if (by >= t.size() || !isWord(t[by], "BY")) continue;
        std::set<std::string> seen;
        std::string term;
        int depth = 0;
        auto endTerm = [&] {
            // A term without its direction, its blanks and its name quotes.
            static const std::regex dir(R"(\s+(ASC|DESC)\s*$)", std::regex::icase);
            std::string key = std::regex_replace(term, dir, "");
            std::string norm;
            for (char c : key)
                if (!std::isspace(static_cast<unsigned char>(c))) norm += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (!norm.empty() && !seen.insert(norm).second) out.push_back("order-by-twice: " + norm);
            term.clear();
        };
        for (size_t j = by + 1; j < t.size(); ++j) {
            const Token& k = t[j];
            if (depth == 0 && (isPunct(k, ")") || isPunct(k, ";") || isWord(k, "OFFSET") || isWord(k, "FOR") || isWord(k, "OPTION") ||
                               isWord(k, "UNION") || isWord(k, "LIMIT")))
                break;
            if (isPunct(k, "(")) ++depth;
            if (isPunct(k, ")")) --depth;
            if (depth == 0 && isPunct(k, ",")) {
                endTerm();
                continue;
            }
            term += k.kind == Tok::Bracketed || k.kind == Tok::DQuoted ? k.text : k.kind == Tok::String ? "'" + k.text + "'" : k.text;
        }
        endTerm();
    }
}

void rowValues(const std::vector<Token>& t, std::vector<std::string>& out) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isPunct(t[i], "(")) continue;
        const size_t close = closing(t, i);
        if (close >= t.size()) continue;
        bool comma = false;
        int depth = 0;
        for (size_t j = i + 1; j < close; ++j) {
            if (isPunct(t[j], "(")) ++depth;
            else if (isPunct(t[j], ")")) --depth;
            else if (depth == 0 && isPunct(t[j], ",")) comma = true;
        }
        if (!comma) continue;
        // Not the argument list of a function: nothing or a keyword or an operator before it.
        size_t before = i;
        while (before > 0 && t[before - 1].kind == Tok::Space) --before;
        if (before > 0) {
            const Token& p = t[before - 1];
            const std::string w = upper(p.text);
            const bool keyword = p.kind == Tok::Word && (w == "WHERE" || w == "AND" || w == "OR" || w == "NOT" || w == "ON" || w == "WHEN" ||
                                                         w == "HAVING");
            if (!keyword && !(p.kind == Tok::Punct && p.text != ")")) continue;
        }
        const size_t op = next(t, close + 1);
        if (op < t.size() && isComparison(t[op])) out.push_back("row-values: a list compared with " + t[op].text);
    }
}

void outputWithoutInto(const std::vector<Token>& t, std::vector<std::string>& out) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t[i], "OUTPUT")) continue;
        bool into = false;
        int depth = 0;
        for (size_t j = i + 1; j < t.size(); ++j) {
            if (isPunct(t[j], "(")) ++depth;
            else if (isPunct(t[j], ")")) --depth;
            if (depth != 0) continue;
            if (isWord(t[j], "INTO")) into = true;
            if (isWord(t[j], "VALUES") || isWord(t[j], "SELECT") || isWord(t[j], "FROM") || isWord(t[j], "WHERE") || isWord(t[j], "DEFAULT") ||
                isPunct(t[j], ";"))
                break;
        }
        if (!into) out.push_back("output-without-into: OUTPUT without INTO fails on a table with an enabled trigger");
    }
}

void createIndexIfNotExists(const std::vector<Token>& t, std::vector<std::string>& out) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (!isWord(t[i], "CREATE")) continue;
        size_t j = next(t, i + 1);
        while (j < t.size() && (isWord(t[j], "UNIQUE") || isWord(t[j], "CLUSTERED") || isWord(t[j], "NONCLUSTERED"))) j = next(t, j + 1);
        if (j >= t.size() || !isWord(t[j], "INDEX")) continue;
        j = next(t, j + 1);
        if (j < t.size() && isWord(t[j], "IF")) out.push_back("create-index-if-not-exists: CREATE INDEX has no IF NOT EXISTS");
    }
}

// ---- the translation onto the embedded database ----

// How a column compares on the embedded database as it would on SQL Server: a text
// without trailing blanks and case, a decimal with places (stored as text) as a number.
enum class Compare { Plain, Text, Number };

Compare comparedAs(std::string_view name) {
    static const std::map<std::string, Compare> names = [] {
        std::map<std::string, Compare> m;
        for (const TableDecl& t : allTables())
            for (const ColumnDecl& c : t.columns) {
                const Compare k = c.type == ColType::Text || c.type == ColType::ZText ? Compare::Text
                                  : c.type == ColType::Decimal && c.scale > 0        ? Compare::Number
                                                                                     : Compare::Plain;
                auto [it, added] = m.emplace(upper(c.name), k);
                if (!added && it->second != k) it->second = Compare::Plain;  // a name of two kinds: as it is
            }
        return m;
    }();
    auto it = names.find(upper(name));
    return it == names.end() ? Compare::Plain : it->second;
}

bool keyword(const std::string& w) {
    static const std::set<std::string> words = {"ASC", "DESC", "AND", "OR", "NOT", "NULL", "IS", "IN", "LIKE", "BETWEEN", "EXISTS",
                                                "ORDER", "BY", "GROUP", "HAVING", "ON", "AS", "CASE", "WHEN", "THEN", "ELSE", "END",
                                                "UNION", "ALL", "ESCAPE", "COLLATE", "OFFSET", "FETCH", "ROWS", "NEXT", "ONLY", "WHERE"};
    return words.count(w) > 0;
}

std::string compared(const std::string& column, std::string_view bare) {
    switch (comparedAs(bare)) {
    case Compare::Text: return "rtrim(" + column + ") COLLATE NOCASE";
    case Compare::Number: return "CAST(" + column + " AS REAL)";
    case Compare::Plain: break;
    }
    return column;
}

std::string name(std::string_view n) {
    std::string s = "\"";
    for (char c : n) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + "\"";
}

std::string literal(std::string_view v) {
    std::string s = "'";
    for (char c : v) {
        if (c == '\'') s += '\'';
        s += c;
    }
    return s + "'";
}

// One statement (no ';' in it) of T-SQL as the embedded database spells it. SQL Server
// compares text without its trailing blanks and case: so do the comparisons and orders of
// text columns here.
std::string translateOne(const std::vector<Token>& t) {
    std::string out, limit;
    bool compares = false;  // in a WHERE or ORDER BY, where a text column compares
    for (size_t i = 0; i < t.size(); ++i) {
        const Token& tok = t[i];
        const std::string w = tok.kind == Tok::Word ? upper(tok.text) : std::string();
        if (w == "WHERE" || w == "BY" || w == "ON") compares = true;
        else if (w == "SELECT" || w == "SET" || w == "VALUES" || w == "FROM" || w == "GROUP") compares = false;
        switch (tok.kind) {
        case Tok::Space: out += tok.text; break;
        case Tok::String: out += literal(tok.text); break;
        case Tok::DQuoted: out += name(tok.text); break;
        case Tok::Bracketed: {
            if (upper(tok.text) == "DBO" && next(t, i + 1) < t.size() && isPunct(t[next(t, i + 1)], ".")) {
                i = next(t, i + 1);  // the owner
                break;
            }
            const bool qualified = i > 0 && isPunct(t[i - 1], ".");
            out += compares && !qualified ? compared(name(tok.text), tok.text) : name(tok.text);
            break;
        }
        case Tok::Param: out += "?"; break;
        case Tok::Number:
        case Tok::Punct: out += tok.text; break;
        case Tok::Word: {
            const size_t n = next(t, i + 1);
            if (w == "DBO" && n < t.size() && isPunct(t[n], ".")) {
                i = n;  // the owner
                break;
            }
            if (w == "TOP" && n < t.size() && t[n].kind == Tok::Number) {
                limit = t[n].text;
                i = n;
                break;
            }
            if (w == "WITH" && n < t.size() && isPunct(t[n], "(")) {
                const size_t hint = next(t, n + 1);
                if (hint < t.size() && (isWord(t[hint], "UPDLOCK") || isWord(t[hint], "ROWLOCK") || isWord(t[hint], "HOLDLOCK") ||
                                        isWord(t[hint], "NOLOCK") || isWord(t[hint], "READPAST"))) {
                    i = closing(t, n);  // a table hint: the embedded database locks the whole file
                    break;
                }
            }
            if (w == "CONVERT" && n < t.size() && isPunct(t[n], "(")) {
                // CONVERT(DATETIME, value, style): the value as it is.
                const size_t close = closing(t, n);
                std::vector<size_t> commas;
                for (size_t j = n + 1; j < close; ++j)
                    if (isPunct(t[j], ",")) commas.push_back(j);
                if (commas.size() == 2) {
                    std::vector<Token> value(t.begin() + static_cast<long>(next(t, commas[0] + 1)), t.begin() + static_cast<long>(commas[1]));
                    out += translateOne(value);
                    i = close;
                    break;
                }
            }
            const bool call = n < t.size() && isPunct(t[n], "(");
            const bool qualified = i > 0 && isPunct(t[i - 1], ".");
            if (w == "ISNULL") out += "IFNULL";
            else if (w == "SCOPE_IDENTITY") out += "last_insert_rowid";
            else if (compares && !call && !qualified && !(n < t.size() && isPunct(t[n], ".")) && !keyword(w)) out += compared(tok.text, tok.text);
            else out += tok.text;
            break;
        }
        }
    }
    if (!limit.empty()) out += " LIMIT " + limit;
    return out;
}

// The statements of a batch, split at its semicolons.
std::vector<std::vector<Token>> statements(const std::vector<Token>& t) {
    std::vector<std::vector<Token>> out(1);
    for (const Token& tok : t) {
        if (isPunct(tok, ";")) out.emplace_back();
        else out.back().push_back(tok);
    }
    std::vector<std::vector<Token>> kept;
    for (auto& s : out)
        if (next(s, 0) < s.size()) kept.push_back(std::move(s));
    return kept;
}

// ---- what was sent and refused ----

std::mutex mutex;
std::vector<std::string> refusals;
std::set<std::string> sent;

void record(std::string_view sql) {
    std::lock_guard lock(mutex);
    if (!sent.insert(std::string(sql)).second) return;
    if (const char* log = std::getenv("MG_TSQL_LOG"); log && *log) std::ofstream(log, std::ios::app) << sql << '\n';
}

Error refuse(const std::string& rule, std::string_view sql) {
    std::lock_guard lock(mutex);
    refusals.push_back(rule + " in " + shown(sql));
    if (std::getenv("MG_TSQL_VERBOSE")) std::fprintf(stderr, "tsql refused: %s\n", refusals.back().c_str());
    // Error 90 with a text of its own, as a server's refusal of a statement would be.
    return Error::driver("42000/tsql", "SQL Server would refuse this statement (" + rule + "): " + shown(sql));
}

// ---- the connection ----

class TsqlConnection;

class TsqlStatement final : public db::Statement {
public:
    TsqlStatement(TsqlConnection& c, std::string sql, std::vector<std::string> parts) : c_(c), sql_(std::move(sql)), parts_(std::move(parts)) {}
    void reset() override {
        params_.clear();
        if (last_) last_->reset();
        last_ = nullptr;
        started_ = false;
    }
    void bind(int index, const db::Param& value) override {
        if (static_cast<size_t>(index) > params_.size()) params_.resize(static_cast<size_t>(index));
        params_[static_cast<size_t>(index - 1)] = value;
    }
    bool step(Error& err) override;
    int columnCount() const override { return last_ ? last_->columnCount() : 0; }
    db::ValueKind kind(int c) const override { return last_->kind(c); }
    int64_t integer(int c) const override { return last_->integer(c); }
    double real(int c) const override { return last_->real(c); }
    std::string text(int c) const override { return last_->text(c); }

private:
    TsqlConnection& c_;
    std::string sql_;
    std::vector<std::string> parts_;
    std::vector<db::Param> params_;
    db::Statement* last_ = nullptr;
    bool started_ = false;
};

class TsqlConnection final : public db::Connection {
public:
    explicit TsqlConnection(std::unique_ptr<db::Connection> inner) : inner_(std::move(inner)) {}

    db::Statement* prepare(std::string_view sql, Error& err) override {
        err = Error::ok();
        if (db::Statement* kept = cache_.find(sql)) return kept;
        record(sql);
        if (std::vector<std::string> broken = brokenRules(sql); !broken.empty()) {
            err = refuse(broken.front(), sql);
            return nullptr;
        }
        return cache_.keep(sql, std::make_unique<TsqlStatement>(*this, std::string(sql), translate(sql)));
    }
    Error exec(std::string_view sql) override {
        ++statementsSent;
        record(sql);
        if (std::vector<std::string> broken = brokenRules(sql); !broken.empty()) return refuse(broken.front(), sql);
        for (const std::string& s : translate(sql))
            if (Error e = inner_->exec(s)) return e;
        return Error::ok();
    }
    Error begin(int timeoutSeconds) override {
        ++statementsSent;
        return inner_->begin(timeoutSeconds);
    }
    Error beginReadOnly() override { return inner_->beginReadOnly(); }
    Error commit() override {
        ++statementsSent;
        return inner_->commit();
    }
    Error rollback() override {
        ++statementsSent;
        return inner_->rollback();
    }
    int64_t lastInsertId() override { return inner_->lastInsertId(); }
    int64_t changes() override { return inner_->changes(); }
    void setBusyTimeout(int milliseconds) override { inner_->setBusyTimeout(milliseconds); }
    const db::Dialect& dialect() const override { return db::dialectOf(db::SqlDialect::SqlServer); }
    Error tryApplicationLock(std::string_view name, bool& granted, db::LockHolder& holder) override {
        return inner_->tryApplicationLock(name, granted, holder);
    }
    void releaseApplicationLock(std::string_view name) override { inner_->releaseApplicationLock(name); }

    db::Connection& inner() { return *inner_; }

private:
    std::unique_ptr<db::Connection> inner_;
    db::StatementCache<TsqlStatement> cache_{100000};
};

bool TsqlStatement::step(Error& err) {
    err = Error::ok();
    if (!started_) {
        started_ = true;
        ++c_.statementsSent;
        if (std::getenv("MG_TSQL_VERBOSE")) {
            std::string values;
            for (const db::Param& p : params_) values += " [" + (p.kind == db::ValueKind::Integer ? std::to_string(p.i) : p.text) + "]";
            std::fprintf(stderr, "tsql run: %s%s\n", parts_.empty() ? "" : parts_.back().c_str(), values.c_str());
        }
        for (const db::Param& p : params_)
            if (std::string rule = brokenRule(p); !rule.empty()) {
                err = refuse(rule, sql_);
                return false;
            }
        // SQL Server compares text without its trailing blanks, and a char(n) column pads
        // what it stores: a text value loses them here (the program never stores them).
        for (db::Param& p : params_)
            if (p.kind == db::ValueKind::Text) p.text.erase(p.text.find_last_not_of(' ') + 1);
        size_t used = 0;
        for (size_t k = 0; k < parts_.size(); ++k) {
            db::Statement* st = c_.inner().prepare(parts_[k], err);
            if (!st) {
                // A translation the embedded database does not take is a fault of the
                // translation: it says so, so that it is not taken for the program's.
                err.driverText += " (T-SQL \"" + shown(sql_) + "\" run as \"" + shown(parts_[k]) + "\")";
                return false;
            }
            const size_t marks = static_cast<size_t>(std::count(parts_[k].begin(), parts_[k].end(), '?'));
            for (size_t m = 0; m < marks && used < params_.size(); ++m, ++used) st->bind(static_cast<int>(m + 1), params_[used]);
            if (k + 1 == parts_.size()) {
                last_ = st;
                break;
            }
            while (st->step(err)) {
            }
            st->reset();
            if (err) return false;
        }
        if (!last_) return false;
    }
    const bool row = last_ && last_->step(err);
    if (err && std::getenv("MG_TSQL_VERBOSE"))
        std::fprintf(stderr, "tsql: %s\n  as: %s\n  %s\n", sql_.c_str(), parts_.empty() ? "" : parts_.back().c_str(), err.driverText.c_str());
    return row;
}

std::unique_ptr<db::Connection> connectTsql(const db::Settings& settings, Error& err) {
    db::Settings embedded;
    embedded.driver = "sqlite";
    embedded.database = settings.database;
    std::unique_ptr<db::Connection> inner = db::connect(embedded, err);
    if (!inner) return nullptr;
    return std::make_unique<TsqlConnection>(std::move(inner));
}

}  // namespace

void registerDriver() {
    static const bool done = (db::addDriver(kDriver, &connectTsql), true);
    (void)done;
}

std::vector<std::string> brokenRules(std::string_view sql) {
    const std::vector<Token> t = tokenize(sql);
    std::vector<std::string> out;
    orderByTwice(t, out);
    rowValues(t, out);
    outputWithoutInto(t, out);
    createIndexIfNotExists(t, out);
    bool fetch = false, offset = false;
    size_t params = 0;
    for (const Token& tok : t) {
        if (tok.kind == Tok::DQuoted) out.push_back("double-quoted-name: \"" + tok.text + "\" is a string under QUOTED_IDENTIFIER OFF");
        if (isPunct(tok, "||")) out.push_back("concatenation: || is no operator (+ or CONCAT)");
        if (isWord(tok, "LIMIT")) out.push_back("limit-offset: LIMIT is no keyword (TOP, or OFFSET ... FETCH)");
        if (isWord(tok, "OFFSET")) offset = true;
        if (isWord(tok, "FETCH")) fetch = true;
        if (tok.kind == Tok::Param) ++params;
        if (tok.kind == Tok::String && std::regex_match(tok.text, dateShape()))
            out.push_back("date-as-text: '" + tok.text + "' is read by the login's date format");
    }
    if (offset && !fetch) out.push_back("limit-offset: OFFSET without FETCH");
    if (params > 2100) out.push_back("too-many-parameters: " + std::to_string(params) + " of at most 2100");
    return out;
}

std::string brokenRule(const db::Param& value) {
    if (value.kind == db::ValueKind::Text && std::regex_match(value.text, dateShape()))
        return "date-as-text: '" + value.text + "' bound as text is read by the login's date format";
    return {};
}

std::vector<std::string> translate(std::string_view sql) {
    const std::string u = upper(sql);
    // The open checks ask the server's catalogue: the embedded database's, for the same.
    if (u.find("INFORMATION_SCHEMA.TABLES") != std::string::npos)
        return {"SELECT CASE type WHEN 'view' THEN 'VIEW' ELSE 'BASE TABLE' END FROM sqlite_master"
                " WHERE name = ? COLLATE NOCASE AND type IN ('table', 'view')"};
    if (u.find("INFORMATION_SCHEMA.COLUMNS") != std::string::npos) return {"SELECT name FROM pragma_table_info(?)"};
    std::vector<std::string> out;
    for (const std::vector<Token>& s : statements(tokenize(sql))) {
        const size_t first = next(s, 0);
        const size_t second = next(s, first + 1);
        const std::string w1 = upper(s[first].text);
        const std::string w2 = second < s.size() ? upper(s[second].text) : std::string();
        if (w1 == "SELECT" && u.find("FROM SYS.INDEXES") != std::string::npos && u.find("SELECT 1 FROM SYS.INDEXES") == 0) {
            out.push_back("SELECT 1 FROM sqlite_master WHERE type = 'index' AND tbl_name = ? COLLATE NOCASE AND name = ? COLLATE NOCASE");
            continue;
        }
        if (w1 == "SET") continue;  // SET LOCK_TIMEOUT, SET NOCOUNT: settings of the session
        const size_t third = next(s, second + 1);
        if ((w1 == "SAVE" || w1 == "ROLLBACK") && w2 == "TRANSACTION" && third < s.size()) {
            out.push_back((w1 == "SAVE" ? "SAVEPOINT " : "ROLLBACK TO ") + s[third].text);
            continue;
        }
        if (w1 == "IF" && w2 == "NOT") {
            // IF NOT EXISTS (a question of sys.indexes) CREATE INDEX ...
            const size_t open = next(s, third + 1);
            const size_t close = closing(s, open);
            std::vector<Token> rest(s.begin() + static_cast<long>(std::min(close + 1, s.size())), s.end());
            std::string create = translateOne(rest);
            static const std::regex index(R"(\bINDEX\s)", std::regex::icase);
            out.push_back(std::regex_replace(create, index, "INDEX IF NOT EXISTS ", std::regex_constants::format_first_only));
            continue;
        }
        std::string one = translateOne(s);
        if (w1 == "CREATE" && w2 == "TABLE") {
            // An identity column is the embedded database's numbered row; a binary column a blob.
            static const std::regex identity(R"((int|decimal\(\d+,0\)) IDENTITY\(1,1\) NOT NULL PRIMARY KEY)", std::regex::icase);
            static const std::regex binary(R"(varbinary\(max\))", std::regex::icase);
            one = std::regex_replace(std::regex_replace(one, identity, "INTEGER PRIMARY KEY AUTOINCREMENT"), binary, "BLOB");
        }
        out.push_back(std::move(one));
    }
    return out;
}

std::vector<std::string> takeRefusals() {
    std::lock_guard lock(mutex);
    std::vector<std::string> out;
    out.swap(refusals);
    return out;
}

}  // namespace mg::test::tsql
