// The two fee reports run without windows on the seeded practice: their pages against golden
// text pages (groups, counts, lookups, key order), what is read and printed, the date of an
// imported-fees report, no report without rows, no report after Cancel.

#include "report_fixture.h"

namespace mg::fees::test {
namespace {

std::vector<std::string> column(const FeeReport& r, size_t c) {
    std::vector<std::string> out;
    for (const auto& l : r.lines()) out.push_back(l.cells.at(c));
    return out;
}

using Strings = std::vector<std::string>;

TEST_F(FeeReportTest, FeesToImportPrintsEveryWaitingFeeByFeeEarnerWithCountsAndBlankFailedLookups) {
    auto r = run<FeesToImportReport>();
    ASSERT_EQ(response, RequestCompleted);
    ASSERT_TRUE(r->completed());
    // Key order: fee earner, matter, diary id, document; the imported attachment is not waiting.
    EXPECT_EQ(column(*r, 1), (Strings{"ABC", "ABC", "ABC", "QQQ", "XYZ", "XYZ"}));
    EXPECT_EQ(column(*r, 3), (Strings{"M0001", "M0001", "M0009", "M0001", "M0001", "M0002"}));
    EXPECT_EQ(column(*r, 7), (Strings{"11", "12", "10", "30", "21", "20"}));
    // A lookup that finds nothing shows blanks, not the previous row's matter, document or name.
    EXPECT_EQ(column(*r, 2), (Strings{"Alice Brennan", "Alice Brennan", "Alice Brennan", "", "Xavier Young", "Xavier Young"}));
    EXPECT_EQ(column(*r, 4)[2], "");
    EXPECT_EQ(column(*r, 6)[2], "");
    EXPECT_EQ(column(*r, 6)[1], "Internal Memo");
    EXPECT_EQ(r->engine()->detailsPrinted(), 6);
    expectGolden("fees_to_import", r->engine()->pageTexts());
    // The progress window's texts, and the bar at 100 at the end.
    EXPECT_EQ(ui.captions, Strings{"Generating Report"});
    EXPECT_EQ(ui.percentTexts.front(), "0% Completed");
    EXPECT_EQ(ui.percentTexts.back(), "100% Completed");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(r->recordsToProcess(), 6);
}

TEST_F(FeeReportTest, ImportedFeesPrintsOnlyItsDateWithCountsAndTheFirstThreeCharactersLookUpTheName) {
    auto r = run<ImportFeesReport>(kDay1);
    ASSERT_TRUE(r->completed());
    // ABC's row of another day is read but not printed; "ABCD" is a group of its own whose
    // name is ABC's; XYZ's unknown matter shows no description of M0001.
    EXPECT_EQ(column(*r, 1), (Strings{"ABC", "ABCD", "XYZ", "XYZ"}));
    EXPECT_EQ(column(*r, 2), (Strings{"Alice Brennan", "Alice Brennan", "Xavier Young", "Xavier Young"}));
    EXPECT_EQ(column(*r, 4), (Strings{"Kelly - sale of 12 Main Street", "Doyle v Kildare County Council",
                                      "Kelly - sale of 12 Main Street", ""}));
    EXPECT_EQ(column(*r, 8), (Strings{"10.00", "21.00", "12.00", "-45.50"}));
    EXPECT_EQ(r->recordsProcessed(), 6);  // five rows and the read that found the end
    expectGolden("fees_imported", r->engine()->pageTexts());
}

TEST_F(FeeReportTest, ImportedFeesOfADateWithoutRowsReadsTheWholeLogAndPrintsNoLine) {
    auto r = run<ImportFeesReport>(kNoRowsDay);
    ASSERT_EQ(response, RequestCompleted);
    EXPECT_TRUE(r->lines().empty());
    EXPECT_EQ(r->recordsProcessed(), 6);
    EXPECT_EQ(ui.bars.back(), 100);
    EXPECT_EQ(ui.percentTexts.back(), "100% Completed");
    expectGolden("fees_imported_no_rows", r->engine()->pageTexts());
    // The report date 0 (the calendar closed from its close box) matches no row either, not
    // even one logged without a date.
    db.exec("INSERT INTO FeesImported (MATTER, FE, CHARGE, TRACKREF) VALUES ('M0001', 'ABC', '1.00', 106)");
    ui = {};
    auto none = run<ImportFeesReport>(0);
    EXPECT_TRUE(none->lines().empty());
}

TEST_F(FeeReportTest, NoRowAtAllMakesNoReportAndNoMessage) {
    db.exec("DELETE FROM FeesImported");
    db.exec("UPDATE DiaryAttachments SET FEES = 1");
    auto a = run<FeesToImportReport>();
    EXPECT_EQ(response, RequestCancelled);
    EXPECT_FALSE(a->completed());
    EXPECT_EQ(a->engine(), nullptr);
    auto b = run<ImportFeesReport>(kDay1);
    EXPECT_EQ(response, RequestCancelled);
    EXPECT_EQ(b->engine(), nullptr);
    EXPECT_TRUE(ui.messages.empty());
    // The command line's empty report still has its page, the count at 0.
    auto empty = a->emptyReport();
    ASSERT_NE(empty, nullptr);
    ASSERT_EQ(empty->pageTexts().size(), 1u);
    EXPECT_NE(empty->pageTexts()[0].find("Number of Document Fees ..."), std::string::npos);
}

TEST_F(FeeReportTest, CancelEndsTheRunWithoutAReport) {
    // More rows than one cycle, so that Cancel comes between two cycles.
    for (int i = 0; i < 60; ++i) waiting(100 + i, 10000 + i, "M0001", "LETTER", "ABC");
    ctx = db.context();
    FeesToImportReport r(Session{*ctx, ui}, ui);
    ASSERT_TRUE(r.prepare());
    r.opened();
    r.cycle();
    EXPECT_FALSE(r.ended());
    EXPECT_EQ(r.recordsProcessed(), 1 + FeeReport::kRecordsPerCycle);
    r.cancelPressed();  // no question
    EXPECT_TRUE(r.ended());
    r.finish();
    EXPECT_EQ(r.response(), RequestCancelled);
    EXPECT_FALSE(r.completed());
    EXPECT_EQ(r.engine(), nullptr);
    EXPECT_TRUE(r.lines().empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
}

// Amounts from nothing to the millions, a fee earner written in three cases, an accented one,
// and texts as long as their pictures: every figure printed whole, one group per fee earner
// (as the case-blind order sorts them), every handler's name found and no text cut short of
// its picture.
TEST_F(FeeReportTest, AwkwardDataPrintsEveryFigureWholeOneGroupPerFeeEarnerAndWholeTexts) {
    const int32_t day = dates::dateFromMDY(3, 12, 2024);
    const std::string fifty = "Kelly v Naas Motor Sales - defective vehicle claim";
    const std::string fiftyCapitals = "MOTOR VEHICLE DAMAGE CLAIM - PARTICULARS OF CLAIMS";
    const std::string forty = "Byrne v Dublin Bus - personal injury (RT";
    const std::string twentyFive = "Standard scale - Services";
    ASSERT_EQ(fifty.size(), 50u);
    ASSERT_EQ(fiftyCapitals.size(), 50u);
    ASSERT_EQ(forty.size(), 40u);
    ASSERT_EQ(twentyFive.size(), 25u);
    handler("JOB", "Joan O'Brien");
    handler("ÉAB", "Éamonn Ó Briain");
    matter("M0100", fifty);
    matter("M0101", forty);
    matter("M0102", fiftyCapitals);
    document("SUMMONS", fiftyCapitals);
    document("LONGDOC", fifty);
    db.exec("DELETE FROM FeesImported");
    logged("M0100", day, "JOB", "0.00", "T01", twentyFive, 201);
    logged("M0101", day, "job", "-1000.00", "T02", twentyFive + " rendered", 202);
    logged("M0102", day, "Job", "10000.00", "T03", twentyFive, 203);
    logged("M0100", day, "ÉABX", "9999999.99", "T04", twentyFive, 204);
    logged("M0101", day, "ÉAB", "-9999999.99", "T05", twentyFive, 205);
    db.exec("UPDATE DiaryAttachments SET FEES = 1");
    waiting(50, 5001, "M0100", "SUMMONS", "JOB");
    waiting(51, 5101, "M0102", "LONGDOC", "job");
    waiting(52, 5201, "M0101", "SUMMONS", "Job");
    waiting(53, 5301, "M0100", "LONGDOC", "ÉAB");

    auto imported = run<ImportFeesReport>(day);
    ASSERT_TRUE(imported->completed());
    auto waitingReport = run<FeesToImportReport>();
    ASSERT_TRUE(waitingReport->completed());
    for (const auto* r : {static_cast<const FeeReport*>(imported.get()), static_cast<const FeeReport*>(waitingReport.get())})
        for (const std::string& page : r->engine()->pageTexts()) {
            EXPECT_EQ(page.find('#'), std::string::npos) << page;
            EXPECT_EQ(page.find("\u2026"), std::string::npos) << "a text cut short of its picture:\n" << page;
        }
    // One group (and one count) for JOB, job and Job; the accented codes find their handler.
    const std::string csv = imported->csv();
    EXPECT_NE(csv.find("Count,JOB,Joan O'Brien,,,,,,,,,3\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("Count,ÉAB,Éamonn Ó Briain,,,,,,,,,1\r\nCount,ÉABX,Éamonn Ó Briain,,,,,,,,,1\r\n"), std::string::npos) << csv;
    EXPECT_EQ(column(*imported, 8), (Strings{"0.00", "-1000.00", "10000.00", "-9999999.99", "9999999.99"}));
    EXPECT_NE(waitingReport->csv().find("Count,JOB,Joan O'Brien,,,,,,3\r\n"), std::string::npos) << waitingReport->csv();
    expectGolden("fees_imported_awkward", imported->engine()->pageTexts());
    expectGolden("fees_to_import_awkward", waitingReport->engine()->pageTexts());
}

TEST_F(FeeReportTest, CsvHasOneRowPerLineThenTheCountsAndQuotesWhatNeedsIt) {
    auto r = run<ImportFeesReport>(kDay1);
    const std::string csv = r->csv();
    EXPECT_EQ(csv,
              "Line,Fee earner,Fee earner name,Matter,Matter description,FE,Task,Comment,Charge,Track Ref,Date imported,Count\r\n"
              "Detail,ABC,Alice Brennan,M0001,Kelly - sale of 12 Main Street,ABC,T01,Drafting a letter,10.00,101,2024-03-14,\r\n"
              "Detail,ABCD,Alice Brennan,M0002,Doyle v Kildare County Council,ABCD,T02,\"Drafting, a \"\"memo\"\"\",21.00,102,2024-03-14,\r\n"
              "Detail,XYZ,Xavier Young,M0001,Kelly - sale of 12 Main Street,XYZ,T01,Letter,12.00,104,2024-03-14,\r\n"
              "Detail,XYZ,Xavier Young,M0009,,XYZ,T01,Letter,-45.50,103,2024-03-14,\r\n"
              "Count,ABC,Alice Brennan,,,,,,,,,1\r\n"
              "Count,ABCD,Alice Brennan,,,,,,,,,1\r\n"
              "Count,XYZ,Xavier Young,,,,,,,,,2\r\n"
              "Total,,,,,,,,,,,4\r\n");
}

}  // namespace
}  // namespace mg::fees::test
