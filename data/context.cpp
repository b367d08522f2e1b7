#include "data/context.h"

#include "data/table.h"

namespace mg {

Context::Context(db::Settings settings) : settings_(std::move(settings)) {}

Context::~Context() {
    // An unfinished transaction is rolled back with the connection.
    for (auto& t : tables_) t.reset();
    conn_.reset();
}

Table& Context::table(TableId id) {
    auto& slot = tables_[static_cast<size_t>(id)];
    if (!slot) slot = std::make_unique<Table>(*this, decl(id));
    return *slot;
}

Record& Context::rec(TableId id) { return table(id).rec(); }

Record& Context::history(TableId id) {
    auto& slot = histories_[static_cast<size_t>(id)];
    if (!slot) slot = std::make_unique<Record>(decl(id));
    return *slot;
}

db::Connection* Context::connection() {
    if (!conn_) {
        Error err;
        conn_ = db::connect(settings_, err);
        if (!conn_) {
            setError(err);
            return nullptr;
        }
    }
    return conn_.get();
}

int Context::begin(int timeoutSeconds) {
    db::Connection* c = connection();
    if (!c) return errorCode();
    Error e = depth_ == 0 ? c->begin(timeoutSeconds) : c->savepoint(depth_);
    if (e) return setError(e);
    ++depth_;
    return ok();
}

int Context::commit() {
    if (depth_ == 0) return setError(Error::driver("", "Commit without a transaction"));
    db::Connection* c = connection();
    if (depth_ == 1) {
        // A commit that fails has rolled the transaction back: it is over either way.
        Error e = c->commit();
        depth_ = 0;
        if (e) return setError(e);
        ++commits_;
        return ok();
    }
    // A nested transaction that cannot be released stays open for the caller to roll back.
    if (Error e = c->release(depth_ - 1)) return setError(e);
    --depth_;
    return ok();
}

int Context::rollback() {
    if (depth_ == 0) return ok();
    db::Connection* c = connection();
    Error e = depth_ == 1 ? c->rollback() : c->rollbackTo(depth_ - 1);
    --depth_;
    if (e) return setError(e);
    return ok();
}

}  // namespace mg
