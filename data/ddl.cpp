#include "data/ddl.h"

#include "data/dialect.h"

namespace mg::ddl {

std::string keyTerm(const ColumnDecl& c, db::SqlDialect d) { return db::dialectOf(d).keyTerm(c); }

bool keyIsRowKey(const TableDecl& t, int key) {
    const KeyDecl& k = t.keys[key];
    return k.components.size() == 1 && t.columns[k.components[0].column].numbered;
}

std::string createTable(const TableDecl& t, db::SqlDialect d) { return db::dialectOf(d).createTable(t); }

std::vector<std::string> createIndexes(const TableDecl& t, db::SqlDialect d) { return db::dialectOf(d).createIndexes(t); }

std::string script(db::SqlDialect d) { return db::dialectOf(d).script(); }

}  // namespace mg::ddl
