#include <gtest/gtest.h>

#include "maintenance/integrity.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg {

TEST(CheckOpenSmoke, OpensAnExistingTableAndCreatesAMissingOne) {
    test::TempDatabase db;
    db.exec("DROP TABLE Nominal");
    auto ctx = db.context();
    ui::ScriptedUserInterface ui;
    Session s{*ctx, ui};
    EXPECT_TRUE(checkOpen(s, TableId::BatchH, true));
    EXPECT_TRUE(checkOpen(s, TableId::Nominal, true));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = 'Nominal'"), 1);
}

}  // namespace mg
