// Transactions of a context: a begin that cannot get the write lock in time fails with
// 32 instead of hanging, nested transactions roll back only their own writes, and what
// is committed is seen by every other connection.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "data/context.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

using Clock = std::chrono::steady_clock;

class Transactions : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();

    void addBatch(Context& c, int no) {
        Table& t = c.table(TableId::BatchH);
        if (!t.isOpen()) {
            ASSERT_EQ(t.open(), 0);
        }
        t.clear();
        t.rec().set(BAH::BATCHNO, no);
        ASSERT_EQ(t.add(), 0) << c.fileError();
    }
    std::vector<std::string> batches() const { return db.column("SELECT BatchNo FROM BatchH ORDER BY 1"); }
};

TEST_F(Transactions, ABeginFailsWith32InAboutItsTimeoutWhileAnotherContextHoldsTheLock) {
    auto other = db.context();
    ASSERT_EQ(other->begin(2), 0);
    addBatch(*other, 1);

    auto start = Clock::now();
    EXPECT_EQ(ctx->begin(2), IsLockedErr);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(ctx->errorCode(), 32);
    EXPECT_EQ(ctx->transactionDepth(), 0);
    EXPECT_GE(seconds, 1.5);
    EXPECT_LT(seconds, 4.0);

    // Readers are not held up meanwhile, and see what was committed before.
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.records(), 0);

    ASSERT_EQ(other->commit(), 0);
    ASSERT_EQ(ctx->begin(2), 0);
    EXPECT_EQ(t.records(), 1);
    ASSERT_EQ(ctx->commit(), 0);
}

TEST_F(Transactions, ABeginWaitsForALockReleasedWithinItsTimeout) {
    test::OtherProgram other(db.path());
    other.holdWriteLock();
    // The lock is released by another thread of the other program after half a second.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        other.release();
    });
    auto start = Clock::now();
    int rc = ctx->begin(3);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    releaser.join();
    EXPECT_EQ(rc, 0);
    EXPECT_LT(seconds, 2.5);
    EXPECT_EQ(ctx->commit(), 0);
}

TEST_F(Transactions, CommitPersistsAndRollbackUndoes) {
    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 1);
    addBatch(*ctx, 2);
    EXPECT_TRUE(batches().empty());  // not seen outside before the commit
    ASSERT_EQ(ctx->commit(), 0);
    EXPECT_EQ(batches(), (std::vector<std::string>{"1", "2"}));

    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 3);
    ASSERT_EQ(ctx->rollback(), 0);
    EXPECT_EQ(batches(), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(ctx->transactionDepth(), 0);

    // A commit without a transaction is an error; a rollback without one does nothing.
    EXPECT_NE(ctx->commit(), 0);
    EXPECT_EQ(ctx->rollback(), 0);
}

TEST_F(Transactions, AnInnerRollbackUndoesOnlyTheInnerWrites) {
    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 1);
    ASSERT_EQ(ctx->begin(2), 0);
    EXPECT_EQ(ctx->transactionDepth(), 2);
    addBatch(*ctx, 2);
    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 3);
    ASSERT_EQ(ctx->rollback(), 0);  // undoes 3
    addBatch(*ctx, 4);
    ASSERT_EQ(ctx->commit(), 0);  // keeps 2 and 4 inside the outer one
    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 5);
    ASSERT_EQ(ctx->rollback(), 0);  // undoes 5
    EXPECT_EQ(ctx->transactionDepth(), 1);
    EXPECT_TRUE(batches().empty());
    ASSERT_EQ(ctx->commit(), 0);
    EXPECT_EQ(batches(), (std::vector<std::string>{"1", "2", "4"}));
}

TEST_F(Transactions, AnOuterRollbackUndoesEverythingInsideIt) {
    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 1);
    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 2);
    ASSERT_EQ(ctx->commit(), 0);
    ASSERT_EQ(ctx->rollback(), 0);
    EXPECT_EQ(ctx->transactionDepth(), 0);
    EXPECT_TRUE(batches().empty());
    // and the context works on afterwards
    addBatch(*ctx, 9);
    EXPECT_EQ(batches(), std::vector<std::string>{"9"});
}

TEST_F(Transactions, AFailedAddInsideATransactionLeavesTheOtherWritesToTheCaller) {
    ASSERT_EQ(ctx->begin(2), 0);
    addBatch(*ctx, 1);
    Table& t = ctx->table(TableId::BatchH);
    t.clear();
    t.rec().set(BAH::BATCHNO, 1);
    EXPECT_EQ(t.add(), DupKeyErr);
    EXPECT_EQ(ctx->transactionDepth(), 1);
    addBatch(*ctx, 2);
    ASSERT_EQ(ctx->commit(), 0);
    EXPECT_EQ(batches(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(Transactions, AContextClosedInsideATransactionRollsItBack) {
    {
        auto other = db.context();
        ASSERT_EQ(other->begin(2), 0);
        addBatch(*other, 1);
    }
    EXPECT_TRUE(batches().empty());
    // and the lock is gone
    ASSERT_EQ(ctx->begin(1), 0);
    ASSERT_EQ(ctx->commit(), 0);
}

}  // namespace
}  // namespace mg
