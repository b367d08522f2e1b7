#include "data/passthrough.h"

#include <cctype>
#include <cstdio>

#include "data/dates.h"
#include "data/schema.h"
#include "data/text.h"

namespace mg::db {
namespace {

enum class Tok { Space, Word, Number, String, Bracketed, Punct };

struct Token {
    Tok kind;
    std::string text;  // for String: the value without quotes; Bracketed: the name
};

bool isWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '@' || c == '#'; }
bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c == '.'; }

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            size_t j = i;
            while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
            out.push_back({Tok::Space, std::string(s.substr(i, j - i))});
            i = j;
        } else if (c == '\'') {
            std::string v;
            size_t j = i + 1;
            while (j < s.size()) {
                if (s[j] == '\'') {
                    if (j + 1 < s.size() && s[j + 1] == '\'') {
                        v += '\'';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                v += s[j++];
            }
            out.push_back({Tok::String, std::move(v)});
            i = j;
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            // a comment to the end of the line stays as it is (nothing in it is a value)
            size_t j = s.find('\n', i);
            if (j == std::string_view::npos) j = s.size();
            out.push_back({Tok::Space, std::string(s.substr(i, j - i))});
            i = j;
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            size_t j = s.find("*/", i + 2);
            j = j == std::string_view::npos ? s.size() : j + 2;
            out.push_back({Tok::Space, std::string(s.substr(i, j - i))});
            i = j;
        } else if (c == '"') {
            // a quoted name, kept as it is
            size_t j = s.find('"', i + 1);
            j = j == std::string_view::npos ? s.size() : j + 1;
            out.push_back({Tok::Punct, std::string(s.substr(i, j - i))});
            i = j;
        } else if (c == '[') {
            size_t j = s.find(']', i);
            if (j == std::string_view::npos) j = s.size();
            out.push_back({Tok::Bracketed, std::string(s.substr(i + 1, j - i - 1))});
            i = j + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            size_t j = i;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
            out.push_back({Tok::Number, std::string(s.substr(i, j - i))});
            i = j;
        } else if (isWordStart(c)) {
            size_t j = i;
            while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
            out.push_back({Tok::Word, std::string(s.substr(i, j - i))});
            i = j;
        } else {
            size_t len = 1;
            if (i + 1 < s.size()) {
                std::string_view two = s.substr(i, 2);
                if (two == "<>" || two == "<=" || two == ">=" || two == "!=" || two == "||") len = 2;
            }
            out.push_back({Tok::Punct, std::string(s.substr(i, len))});
            i += len;
        }
    }
    return out;
}

using text::eqNoCase;

// Index of the next token that is not blank space, from i on.
size_t skipSpace(const std::vector<Token>& t, size_t i) {
    while (i < t.size() && t[i].kind == Tok::Space) ++i;
    return i;
}

// The embedded database keeps dates as ISO text: a CONVERT of a date-time literal becomes
// that text ('2015-02-09' for midnight, '2015-02-09 13:45:00' otherwise).
std::string isoFromDateTimeLiteral(const std::string& v) {
    auto d = dates::parseIsoDate(v);
    if (!d) return v;
    std::string out = dates::toIsoDate(*d);
    auto t = dates::parseIsoTime(v);
    if (t && *t > 1) out += " " + dates::toIsoTime(*t);
    return out;
}

// The tables a statement names: the words after FROM, JOIN, UPDATE and INTO.
std::vector<const TableDecl*> namedTables(const std::vector<Token>& t) {
    std::vector<const TableDecl*> out;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != Tok::Word) continue;
        const std::string& w = t[i].text;
        if (!eqNoCase(w, "from") && !eqNoCase(w, "join") && !eqNoCase(w, "update") && !eqNoCase(w, "into")) continue;
        size_t n = skipSpace(t, i + 1);
        if (n < t.size() && (t[n].kind == Tok::Word || t[n].kind == Tok::Bracketed))
            if (const TableDecl* d = findTable(t[n].text)) out.push_back(d);
    }
    return out;
}

// Whether a name of a statement is a text column of the tables it names: text in one of
// them and nothing else in any. A qualified name ("a.Code") is looked up by its last part.
bool isTextColumn(std::string_view name, const std::vector<const TableDecl*>& tables) {
    if (size_t dot = name.rfind('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    bool text = false;
    for (const TableDecl* t : tables) {
        int c = t->columnIndex(name);
        if (c < 0) continue;
        if (t->columns[c].type != ColType::Text && t->columns[c].type != ColType::ZText) return false;
        text = true;
    }
    return text;
}

bool isComparison(const Token& tok) {
    return tok.kind == Tok::Punct && (tok.text == "=" || tok.text == "<>" || tok.text == "!=" || tok.text == "<" || tok.text == ">" ||
                                      tok.text == "<=" || tok.text == ">=");
}

Param numberParam(const std::string& text) {
    if (text.find('.') == std::string::npos && text.size() <= 18) return Param::integer(std::stoll(text));
    return Param::str(text);
}

}  // namespace

ParameterizedSql parameterize(std::string_view statement, SqlDialect dialect) {
    std::vector<Token> t = tokenize(statement);
    // SQL Server takes the texts as they are; the embedded database and PostgreSQL get LIMIT
    // for TOP, a date value for CONVERT and names without the owner.
    const bool lite = dialect == SqlDialect::Sqlite;
    const bool pg = dialect == SqlDialect::PostgreSql;
    const bool rewrite = lite || pg;
    ParameterizedSql out;
    std::string limit;
    // A number stays a literal where it is not a value: the row count of TOP, and the
    // column numbers of an ORDER BY or GROUP BY list.
    std::string prevWord;      // the last word seen, upper case ("" after anything else)
    std::string prevSig;       // the last token that is not blank space
    bool inByList = false;
    // Fixed-width text is blank-padded: the server compares 'TB1' and 'TB1   ' as one value.
    // A text column compared with a text literal compares without its trailing blanks
    // (and without regard to case, as the column does), except where SET assigns it: on
    // the embedded database and on PostgreSQL, which both count trailing blanks.
    const std::vector<const TableDecl*> tables = rewrite ? namedTables(t) : std::vector<const TableDecl*>{};
    bool inSet = false;
    bool trimNextString = false;  // the literal a rewritten column is compared with
    auto comparedWithText = [&](size_t i) {
        size_t op = skipSpace(t, i + 1);
        if (op >= t.size() || !isComparison(t[op])) return false;
        size_t value = skipSpace(t, op + 1);
        return value < t.size() && t[value].kind == Tok::String && !inSet && isTextColumn(t[i].text, tables);
    };
    for (size_t i = 0; i < t.size(); ++i) {
        Token& tok = t[i];
        if (tok.kind != Tok::Space) {
            std::string upper;
            if (tok.kind == Tok::Word)
                for (char ch : tok.text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (upper == "SET") inSet = true;
            else if (upper == "WHERE" || upper == "FROM") inSet = false;
            if (upper == "BY" && (prevWord == "ORDER" || prevWord == "GROUP")) inByList = true;
            else if (upper == "HAVING" || upper == "LIMIT" || upper == "UNION" || upper == "WHERE" || upper == "FROM" || upper == "SELECT" ||
                     upper == "OFFSET" || upper == "EXCEPT" || upper == "INTERSECT" || upper == "FOR" || upper == "OPTION")
                inByList = false;
            if (tok.kind == Tok::Number && ((inByList && (prevSig == "BY" || prevSig == ",")) || prevSig == "TOP")) {
                out.sql += tok.text;
                prevSig = tok.text;
                prevWord.clear();
                continue;
            }
            prevWord = upper;
            prevSig = tok.kind == Tok::Word ? upper : tok.text;
        }
        switch (tok.kind) {
        case Tok::Space:
            out.sql += tok.text;
            break;
        case Tok::String:
            out.sql += '?';
            if (trimNextString) {
                tok.text.resize(tok.text.find_last_not_of(' ') + 1);  // npos + 1 is 0
                trimNextString = false;
            }
            out.params.push_back(Param::str(tok.text));
            break;
        case Tok::Number:
            // A number with places stays a number where the parameter's type would be guessed.
            out.sql += pg && tok.text.find('.') != std::string::npos ? "CAST(? AS numeric)" : "?";
            out.params.push_back(numberParam(tok.text));
            break;
        case Tok::Bracketed:
            if (lite && comparedWithText(i)) {
                out.sql += "rtrim(\"" + tok.text + "\") COLLATE NOCASE";
                trimNextString = true;
            } else if (pg && comparedWithText(i)) {
                out.sql += "rtrim(\"";
                for (char ch : tok.text) out.sql += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                out.sql += "\")";
                trimNextString = true;
            } else if (lite) {
                out.sql += '"' + tok.text + '"';
            } else if (pg) {
                // Names are made in lower case there.
                out.sql += '"';
                for (char ch : tok.text) out.sql += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                out.sql += '"';
            } else {
                out.sql += '[' + tok.text + ']';
            }
            break;
        case Tok::Punct:
            out.sql += tok.text;
            break;
        case Tok::Word: {
            if (rewrite && eqNoCase(tok.text, "top")) {
                // SELECT [DISTINCT] TOP n ... -> SELECT [DISTINCT] ... LIMIT n
                size_t n = skipSpace(t, i + 1);
                if (n < t.size() && t[n].kind == Tok::Number) {
                    limit = t[n].text;
                    i = n;  // the blanks after n stay, so "Top 1  X" reads "  X"
                    break;
                }
            }
            if (eqNoCase(tok.text, "convert")) {
                // CONVERT ( DATETIME , 'literal' , 102 )
                size_t p = skipSpace(t, i + 1);
                size_t ty = skipSpace(t, p + 1);
                size_t c1 = skipSpace(t, ty + 1);
                size_t lit = skipSpace(t, c1 + 1);
                size_t c2 = skipSpace(t, lit + 1);
                size_t style = skipSpace(t, c2 + 1);
                size_t close = skipSpace(t, style + 1);
                if (close < t.size() && t[p].text == "(" && eqNoCase(t[ty].text, "datetime") && t[c1].text == "," &&
                    t[lit].kind == Tok::String && t[c2].text == "," && t[style].kind == Tok::Number && t[close].text == ")") {
                    // The value is bound as a date-time, which no language setting of the
                    // login reads differently (a text would be read by SET DATEFORMAT).
                    if (rewrite) {
                        out.sql += pg ? "CAST(? AS timestamp)" : "?";
                    } else {
                        // The style stays a constant: it says how a text would be read, it is no value.
                        out.sql += tok.text + "(" + t[ty].text + ", ?, " + t[style].text + ")";
                    }
                    if (dates::parseIsoDate(t[lit].text)) out.params.push_back(Param::dateTime(isoFromDateTimeLiteral(t[lit].text)));
                    else out.params.push_back(Param::str(t[lit].text));  // no date of ours: the server reads it
                    i = close;
                    break;
                }
            }
            std::string_view w = tok.text;
            if (rewrite && w.size() > 4 && eqNoCase(w.substr(0, 4), "dbo.")) w.remove_prefix(4);
            if (rewrite && comparedWithText(i)) {
                // PostgreSQL's text columns carry their case-blind collation into rtrim.
                out.sql += "rtrim(" + std::string(w) + (lite ? ") COLLATE NOCASE" : ")");
                trimNextString = true;
            } else {
                out.sql += w;
            }
            break;
        }
        }
    }
    if (!limit.empty()) {
        // LIMIT goes last, before a closing semicolon.
        size_t end = out.sql.find_last_not_of(" \t\r\n;");
        std::string tail = out.sql.substr(end + 1);
        out.sql.resize(end + 1);
        out.sql += " LIMIT " + limit + tail;
    }
    return out;
}

std::string quoted(std::string_view value) {
    std::string s = "'";
    for (char c : value) {
        if (c == '\'') s += '\'';
        s += c;
    }
    return s + "'";
}

}  // namespace mg::db
