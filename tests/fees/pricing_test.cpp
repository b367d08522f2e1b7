// Pricing a fee: the band search over the matter's outstanding debt, the arrangement of the
// matter or of its client, and the no-band charge.

#include "data/table.h"
#include "fee_fixture.h"

namespace mg::fees::test {
namespace {

Decimal dec(const char* text) { return *Decimal::parse(text); }

// A matrix row with band limits 1000, 2000, ... 6000 and rates 10, 20, ... 60.
Record matrixRow() {
    Record r(decl(TableId::ChargingMatrix));
    const DecimalCol limits[] = {CMA::BAND1LIMIT, CMA::BAND2LIMIT, CMA::BAND3LIMIT, CMA::BAND4LIMIT, CMA::BAND5LIMIT, CMA::BAND6LIMIT};
    const DecimalCol rates[] = {CMA::BAND1RATE, CMA::BAND2RATE, CMA::BAND3RATE, CMA::BAND4RATE, CMA::BAND5RATE, CMA::BAND6RATE};
    for (int k = 0; k < 6; ++k) {
        r.set(limits[k], Decimal((k + 1) * 1000));
        r.set(rates[k], Decimal((k + 1) * 10));
    }
    return r;
}

TEST(BandRate, EdgesOfEachBandAndTheGapsBetweenThem) {
    Record m = matrixRow();
    EXPECT_EQ(bandRate(m, dec("0.00")), dec("10"));
    EXPECT_EQ(bandRate(m, dec("1000.00")), dec("10"));
    EXPECT_EQ(bandRate(m, dec("1000.50")), std::nullopt);  // between a limit and that limit plus 1
    EXPECT_EQ(bandRate(m, dec("1000.99")), std::nullopt);
    EXPECT_EQ(bandRate(m, dec("1001.00")), dec("20"));
    EXPECT_EQ(bandRate(m, dec("2000.00")), dec("20"));
    EXPECT_EQ(bandRate(m, dec("2001.00")), dec("30"));
    EXPECT_EQ(bandRate(m, dec("4500.00")), dec("50"));
    EXPECT_EQ(bandRate(m, dec("6000.00")), dec("60"));
    EXPECT_EQ(bandRate(m, dec("6000.01")), std::nullopt);
    EXPECT_EQ(bandRate(m, dec("-0.01")), std::nullopt);
}

TEST(BandRate, BandsSevenAndEightAreNeverConsulted) {
    Record m = matrixRow();
    m.set(CMA::BAND7LIMIT, Decimal(7000));
    m.set(CMA::BAND7RATE, Decimal(70));
    m.set(CMA::BAND8LIMIT, Decimal(99999));
    m.set(CMA::BAND8RATE, Decimal(80));
    EXPECT_EQ(bandRate(m, dec("6500.00")), std::nullopt);
    EXPECT_EQ(bandRate(m, dec("50000.00")), std::nullopt);
}

TEST(BandRate, AnUnusedBandInTheMiddleIsSkippedAndTheNextStartsAtItsLimitPlusOne) {
    Record m = matrixRow();
    m.set(CMA::BAND2LIMIT, Decimal());
    m.set(CMA::BAND2RATE, Decimal());
    // Band 3 now runs from 0 + 1 to 3000: a debt of 1000.50 falls in it.
    EXPECT_EQ(bandRate(m, dec("500.00")), dec("10"));
    EXPECT_EQ(bandRate(m, dec("1000.50")), dec("30"));
    EXPECT_EQ(bandRate(m, dec("0.50")), dec("10"));
}

TEST(BandRate, AnEmptyMatrixRowHoldsOnlyAZeroDebt) {
    Record m(decl(TableId::ChargingMatrix));
    EXPECT_EQ(bandRate(m, Decimal()), Decimal());
    EXPECT_EQ(bandRate(m, dec("0.01")), std::nullopt);
}

class PricingTest : public FeeImportTest {
protected:
    // A matter on arrangement AR1 with the debt original + interest - collected, and its fee.
    void feeWithDebt(long long diaryId, const std::string& code, const std::string& original, const std::string& interest,
                     const std::string& collected, const std::string& arrangement = "AR1", const std::string& client = "C01") {
        matter(code, arrangement, client, original, interest, collected);
        waitingFee(diaryId, diaryId, code, "LETTER");
    }
    Row entryOf(const std::string& matterCode) {
        auto r = timeEntries("MATTER = '" + matterCode + "'");
        EXPECT_EQ(r.size(), 1u) << matterCode;
        return r.empty() ? Row{} : r[0];
    }
    void expectCharged(const std::string& matterCode, const std::string& amount) {
        Row r = entryOf(matterCode);
        EXPECT_EQ(r["RATE"], amount) << matterCode;
        EXPECT_EQ(r["CHARGE"], amount) << matterCode;
        EXPECT_EQ(r["CHARGED"], amount) << matterCode;
        auto log = imported("MATTER = '" + matterCode + "'");
        ASSERT_EQ(log.size(), 1u) << matterCode;
        EXPECT_EQ(log[0]["CHARGE"], amount) << matterCode;
    }
};

TEST_F(PricingTest, BandEdgesOfTheOutstandingDebt) {
    feeWithDebt(101, "EQUAL", "900.00", "150.00", "50.00");    // 1000.00: band 1
    feeWithDebt(102, "PLUSONE", "1001.00", "0.00", "0.00");    // 1001.00: band 2
    feeWithDebt(103, "HALF", "1000.00", "0.75", "0.25");       // 1000.50: no band
    feeWithDebt(104, "ZERO", "100.00", "0.00", "100.00");      // 0.00: band 1
    feeWithDebt(105, "NEGATIVE", "100.00", "0.00", "100.01");  // -0.01: no band
    feeWithDebt(106, "TOP", "5999.99", "0.01", "0.00");        // 6000.00: band 6
    feeWithDebt(107, "ABOVE", "6001.00", "0.00", "0.00");      // above band 6: no band
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_TRUE(messagesBeforeEnd().empty());
    expectCharged("EQUAL", "10.00");
    expectCharged("PLUSONE", "20.00");
    expectCharged("HALF", "1.11");
    expectCharged("ZERO", "10.00");
    expectCharged("NEGATIVE", "1.11");
    expectCharged("TOP", "60.00");
    expectCharged("ABOVE", "1.11");
    // A fee in no band keeps the matrix row's stage and description.
    EXPECT_EQ(entryOf("HALF")["STAGECODE"], "S1");
}

TEST_F(PricingTest, BandsSevenAndEightAreIgnored) {
    matrix("AR7", "T01", "Letter fee per AR7", "S7",
           {"1000.00", "10.00", "2000.00", "20.00", "3000.00", "30.00", "4000.00", "40.00", "5000.00", "50.00", "6000.00", "60.00"},
           {"9000.00", "70.00", "99999.00", "80.00"});
    feeWithDebt(101, "BAND7", "7000.00", "0.00", "0.00", "AR7");
    feeWithDebt(102, "BAND8", "50000.00", "0.00", "0.00", "AR7");
    run();
    expectCharged("BAND7", "1.11");
    expectCharged("BAND8", "1.11");
}

TEST_F(PricingTest, MatterWithoutArrangementTakesItsClients) {
    client("C02", "AR2");
    feeWithDebt(101, "CLIENTS", "500.00", "0.00", "0.00", "", "C02");
    // A matter's own arrangement wins over its client's.
    feeWithDebt(102, "OWN", "500.00", "0.00", "0.00", "AR1", "C02");
    run();
    EXPECT_TRUE(messagesBeforeEnd().empty());
    expectCharged("CLIENTS", "12.00");
    EXPECT_EQ(entryOf("CLIENTS")["STAGECODE"], "S3");
    expectCharged("OWN", "10.00");
}

TEST_F(PricingTest, NoArrangementAnywhereIsReportedAndPricedAsNoBand) {
    feeWithDebt(101, "NOARR", "500.00", "0.00", "0.00", "", "C01");  // C01 has no arrangement either
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{"Matter NOARR       has no Charge Type. It MUST for fees.."});
    EXPECT_EQ(ui.messages.front().caption, "");
    EXPECT_EQ(ui.messages.front().buttons, ui::ButtonOk);
    // Pricing carried on: no matrix row for a blank arrangement, so no band.
    expectCharged("NOARR", "1.11");
    Row r = entryOf("NOARR");
    EXPECT_EQ(r["STAGECODE"], "");
    EXPECT_EQ(r["COMMENT"], "Drafting a letter");
    EXPECT_EQ(waiting(), 0);
}

TEST_F(PricingTest, DebtAmountsAreExactDecimals) {
    // 0.1 + 0.2 - 0.3 is exactly 0 in decimals (a binary double would give 5.5e-17, in no band).
    feeWithDebt(101, "EXACT", "0.10", "0.20", "0.30");
    run();
    expectCharged("EXACT", "10.00");
}

}  // namespace
}  // namespace mg::fees::test
