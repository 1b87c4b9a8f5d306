#include "sheet/excel_controls.h"
#include "sheet/spreadsheet_application.h"

#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"

namespace quillmere::sheet {
namespace {

// What the fake application is told to refuse, and what it saw.
struct FakeWorld {
    bool refuseCreate = false;
    bool refuseWorkbooks = false;
    bool refuseAdd = false;
    bool refuseApplication = false;
    bool refuseSheets = false;
    bool refuseItem = false;
    bool refuseAddSheet = false;
    std::set<std::string> rejectedAddresses;
    bool failValues = false;
    bool throwOnValue = false;
    std::string visibleFailure;  // non-empty: SetVisible(true) fails with it

    int creates = 0;
    int liveApplications = 0;
    int liveAtLastCreate = 0;
    int workbooksCalls = 0;
    int addCalls = 0;
    int applicationCalls = 0;
    int sheetsCalls = 0;
    int itemCalls = 0;
    int rangeCalls = 0;
    int valueCalls = 0;
    std::vector<bool> visibleWrites;
    std::vector<std::string> rangeLookups;              // "cell1|cell2"
    std::map<std::string, std::string> cells;           // "app1/book1/Sheet1!A1" -> UTF-8 text
};

class FakeSheet;

class FakeRange final : public SpreadsheetRange {
public:
    FakeRange(FakeWorld& world, std::shared_ptr<FakeSheet> sheet, std::string key)
        : world_(world), sheet_(std::move(sheet)), key_(std::move(key)) {}
    bool SetValue(std::string_view value) override {
        ++world_.valueCalls;
        if (world_.throwOnValue) throw std::bad_alloc();
        if (world_.failValues) return false;
        world_.cells[key_] = std::string(value);
        return true;
    }
    std::optional<std::string> Value() const override {
        const auto found = world_.cells.find(key_);
        if (found == world_.cells.end()) return std::nullopt;
        return found->second;
    }

private:
    FakeWorld& world_;
    std::shared_ptr<FakeSheet> sheet_;
    std::string key_;
};

class FakeSheet final : public SpreadsheetSheet, public std::enable_shared_from_this<FakeSheet> {
public:
    FakeSheet(FakeWorld& world, std::string name) : world_(world), name_(std::move(name)) {}
    std::shared_ptr<SpreadsheetRange> Range(std::string_view cell1, std::string_view cell2) override {
        ++world_.rangeCalls;
        world_.rangeLookups.push_back(std::string(cell1) + "|" + std::string(cell2));
        if (cell1.empty() || cell2.empty() || world_.rejectedAddresses.count(std::string(cell1)) ||
            world_.rejectedAddresses.count(std::string(cell2))) {
            return nullptr;
        }
        std::string key = name_ + "!" + std::string(cell1);
        if (cell2 != cell1) key += ":" + std::string(cell2);
        return std::make_shared<FakeRange>(world_, shared_from_this(), key);
    }

private:
    FakeWorld& world_;
    std::string name_;
};

class FakeWorkbook final : public SpreadsheetWorkbook, public SpreadsheetSheets {
public:
    FakeWorkbook(FakeWorld& world, std::string name) : world_(world), name_(std::move(name)) { AddSheet(); }
    std::shared_ptr<SpreadsheetSheet> Item(int index) override {
        ++world_.itemCalls;
        if (world_.refuseItem || index < 1 || static_cast<std::size_t>(index) > sheets_.size()) return nullptr;
        return sheets_[static_cast<std::size_t>(index) - 1];
    }
    std::shared_ptr<SpreadsheetSheet> AddAfterLast() override {
        if (world_.refuseAddSheet) return nullptr;
        AddSheet();
        return sheets_.back();
    }

private:
    void AddSheet() {
        sheets_.push_back(std::make_shared<FakeSheet>(world_, name_ + "/Sheet" + std::to_string(sheets_.size() + 1)));
    }

    FakeWorld& world_;
    std::string name_;
    std::vector<std::shared_ptr<FakeSheet>> sheets_;
};

class FakeApplication final : public SpreadsheetApplication,
                              public SpreadsheetWorkbooks,
                              public std::enable_shared_from_this<FakeApplication> {
public:
    FakeApplication(FakeWorld& world, int number) : world_(world), name_("app" + std::to_string(number)) {
        ++world_.liveApplications;
    }
    ~FakeApplication() override { --world_.liveApplications; }

    std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override {
        ++world_.workbooksCalls;
        if (world_.refuseWorkbooks) return nullptr;
        return shared_from_this();
    }
    std::shared_ptr<SpreadsheetApplication> Application() override {
        ++world_.applicationCalls;
        if (world_.refuseApplication) return nullptr;
        return shared_from_this();
    }
    std::shared_ptr<SpreadsheetSheets> Sheets() override {
        ++world_.sheetsCalls;
        if (world_.refuseSheets || workbooks_.empty()) return nullptr;
        return workbooks_.back();
    }
    std::shared_ptr<SpreadsheetWorkbook> Add() override {
        ++world_.addCalls;
        if (world_.refuseAdd) return nullptr;
        workbooks_.push_back(
            std::make_shared<FakeWorkbook>(world_, name_ + "/book" + std::to_string(workbooks_.size() + 1)));
        return workbooks_.back();
    }
    bool SetVisible(bool visible, std::string& failure) override {
        world_.visibleWrites.push_back(visible);
        if (visible && !world_.visibleFailure.empty()) {
            failure = world_.visibleFailure;
            return false;
        }
        return true;
    }

private:
    FakeWorld& world_;
    std::string name_;
    std::vector<std::shared_ptr<FakeWorkbook>> workbooks_;
};

class FakeFactory final : public SpreadsheetApplicationFactory {
public:
    explicit FakeFactory(FakeWorld& world) : world_(world) {}
    std::shared_ptr<SpreadsheetApplication> Create() override {
        world_.liveAtLastCreate = world_.liveApplications;
        if (world_.refuseCreate) return nullptr;
        return std::make_shared<FakeApplication>(world_, ++world_.creates);
    }

private:
    FakeWorld& world_;
};

// The run's way of writing one cell: start, end (same address), value.
void WriteCell(ExcelWorkbooks& workbook, const char* cell, const Text& value) {
    workbook.SetRangeStart(Text(cell));
    workbook.SetRangeEnd(Text(cell));
    workbook.SetValue(value);
}

class ExcelControlsTest : public ::testing::Test {
protected:
    FakeWorld world;
    FakeFactory factory{world};
    ExcelApp app{factory};
    ExcelWorkbooks workbook;

    void Attach() {
        ASSERT_TRUE(app.CreateApplication());
        ASSERT_TRUE(workbook.Associate(app));
    }
};

TEST_F(ExcelControlsTest, WritesTextIntoTheFirstSheetOfTheNewWorkbook) {
    Attach();
    WriteCell(workbook, "A1", TextFromUtf8("档号"));
    WriteCell(workbook, "M2", TextFromUtf8("真彩色"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!A1"), "档号");
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!M2"), "真彩色");
    EXPECT_EQ(world.rangeLookups, (std::vector<std::string>{"A1|A1", "M2|M2"}));
}

TEST_F(ExcelControlsTest, FailedCreateHoldsNothing) {
    world.refuseCreate = true;
    EXPECT_FALSE(app.CreateApplication());
    app.SetVisible(true);
    app.Release();
    EXPECT_TRUE(world.visibleWrites.empty());
    EXPECT_EQ(app.SaveFailure(), "");
    EXPECT_FALSE(workbook.Associate(app));
    EXPECT_EQ(world.workbooksCalls, 0);
}

TEST_F(ExcelControlsTest, SecondCreateGivesUpTheFirstApplicationBeforeAskingForANewOne) {
    ASSERT_TRUE(app.CreateApplication());
    ASSERT_TRUE(app.CreateApplication());
    EXPECT_EQ(world.creates, 2);
    EXPECT_EQ(world.liveAtLastCreate, 0);
    EXPECT_EQ(world.liveApplications, 1);
}

TEST_F(ExcelControlsTest, AssociateWithoutApplicationIsFalseAndLeavesTheControlEmpty) {
    Attach();
    WriteCell(workbook, "A1", Text("old"));
    ExcelApp emptyApp(factory);
    EXPECT_FALSE(workbook.Associate(emptyApp));
    EXPECT_EQ(workbook.RangeStart(), Text());
    workbook.SetRangeStart(Text("B1"));
    workbook.SetRangeEnd(Text("B1"));
    workbook.SetValue(Text("lost"));
    EXPECT_EQ(workbook.RangeEnd(), Text());
    EXPECT_EQ(world.rangeCalls, 1);
    EXPECT_EQ(world.cells.size(), 1u);
}

TEST_F(ExcelControlsTest, SecondAssociateWritesIntoASecondWorkbookOfTheSameApplication) {
    Attach();
    WriteCell(workbook, "A1", Text("first"));
    ASSERT_TRUE(workbook.Associate(app));
    WriteCell(workbook, "A1", Text("second"));
    EXPECT_EQ(world.creates, 1);
    EXPECT_EQ(world.addCalls, 2);
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!A1"), "first");
    EXPECT_EQ(world.cells.at("app1/book2/Sheet1!A1"), "second");
}

// Each step of the attachment refused in turn: Associate still yields true,
// the steps after the refused one never run, and every cell write is ignored.
TEST_F(ExcelControlsTest, RefusedAttachmentStepStillAssociatesButWritesNothing) {
    struct Case {
        const char* name;
        bool FakeWorld::*refusal;
        int workbooks, add, application, sheets, item;
    };
    const Case cases[] = {
        {"Workbooks", &FakeWorld::refuseWorkbooks, 1, 0, 0, 0, 0},
        {"Add", &FakeWorld::refuseAdd, 1, 1, 0, 0, 0},
        {"Application", &FakeWorld::refuseApplication, 1, 1, 1, 0, 0},
        {"Sheets", &FakeWorld::refuseSheets, 1, 1, 1, 1, 0},
        {"Item", &FakeWorld::refuseItem, 1, 1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        FakeWorld w;
        w.*c.refusal = true;
        FakeFactory f(w);
        ExcelApp a(f);
        ExcelWorkbooks b;
        ASSERT_TRUE(a.CreateApplication()) << c.name;
        EXPECT_TRUE(b.Associate(a)) << c.name;
        WriteCell(b, "A1", Text("x"));
        EXPECT_EQ(b.RangeEnd(), Text()) << c.name;
        EXPECT_EQ(b.Value(), Text()) << c.name;
        EXPECT_EQ(w.workbooksCalls, c.workbooks) << c.name;
        EXPECT_EQ(w.addCalls, c.add) << c.name;
        EXPECT_EQ(w.applicationCalls, c.application) << c.name;
        EXPECT_EQ(w.sheetsCalls, c.sheets) << c.name;
        EXPECT_EQ(w.itemCalls, c.item) << c.name;
        EXPECT_EQ(w.rangeCalls, 0) << c.name;
        EXPECT_EQ(w.valueCalls, 0) << c.name;
    }
}

TEST_F(ExcelControlsTest, VisibleAndReleaseOnAnEmptyControlDoNothing) {
    app.SetVisible(true);
    app.Release();
    workbook.Release();
    EXPECT_TRUE(world.visibleWrites.empty());
    EXPECT_EQ(world.creates, 0);
}

TEST_F(ExcelControlsTest, VisibleReachesTheApplicationAndReportsAFailedSave) {
    Attach();
    world.visibleFailure = "Error creating output xlsx file.";
    app.SetVisible(true);
    EXPECT_EQ(app.SaveFailure(), "Error creating output xlsx file.");
    app.SetVisible(false);  // not a save: the failure stands
    EXPECT_EQ(app.SaveFailure(), "Error creating output xlsx file.");
    world.visibleFailure.clear();
    app.SetVisible(true);
    EXPECT_EQ(app.SaveFailure(), "");
    EXPECT_EQ(world.visibleWrites, (std::vector<bool>{true, false, true}));
}

TEST_F(ExcelControlsTest, ReleasingOneControlLeavesTheOtherWorking) {
    Attach();
    app.Release();
    WriteCell(workbook, "A1", Text("still"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!A1"), "still");
    EXPECT_EQ(world.liveApplications, 1);  // the workbook control holds its own references

    ASSERT_TRUE(app.CreateApplication());
    ASSERT_TRUE(workbook.Associate(app));
    workbook.Release();
    EXPECT_EQ(world.liveApplications, 1);
    app.SetVisible(true);
    EXPECT_EQ(world.visibleWrites, (std::vector<bool>{true}));
}

TEST_F(ExcelControlsTest, ValueBeforeAnyRangeEndDoesNothing) {
    Attach();
    workbook.SetRangeStart(Text("A1"));
    workbook.SetValue(Text("x"));
    EXPECT_EQ(world.valueCalls, 0);
    EXPECT_EQ(world.rangeCalls, 0);  // RangeStart alone looks nothing up
}

TEST_F(ExcelControlsTest, RangeEndBeforeAssociateIsIgnoredAndNotStored) {
    workbook.SetRangeStart(Text("A1"));
    workbook.SetRangeEnd(Text("A1"));
    ASSERT_TRUE(app.CreateApplication());
    ASSERT_TRUE(workbook.Associate(app));
    EXPECT_EQ(workbook.RangeEnd(), Text());
    workbook.SetValue(Text("x"));
    EXPECT_EQ(world.valueCalls, 0);
}

TEST_F(ExcelControlsTest, RangeStartAloneDoesNotMoveTheRange) {
    Attach();
    workbook.SetRangeStart(Text("B2"));
    workbook.SetRangeEnd(Text("B2"));
    workbook.SetRangeStart(Text("C3"));
    workbook.SetValue(Text("x"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!B2"), "x");
    EXPECT_EQ(world.cells.count("app1/book1/Sheet1!C3"), 0u);
    // The texts read back while a range is held are the ones last written.
    EXPECT_EQ(workbook.RangeStart(), Text("C3"));
    EXPECT_EQ(workbook.RangeEnd(), Text("B2"));
}

TEST_F(ExcelControlsTest, RangeIsLookedUpFromBothTexts) {
    Attach();
    workbook.SetRangeStart(Text("A1"));
    workbook.SetRangeEnd(Text("C3"));
    workbook.SetValue(Text("block"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!A1:C3"), "block");

    // Addresses reach the application unchecked, as UTF-8.
    WriteCell(workbook, "\xA3\xC1\xA3\xB1", Text("wide"));  // GB18030 full-width "Ａ１"
    workbook.SetRangeStart(TextFromUtf8("甲1"));
    workbook.SetRangeEnd(TextFromUtf8("乙2"));
    EXPECT_EQ(world.rangeLookups,
              (std::vector<std::string>{"A1|C3", "\xEF\xBC\xA1\xEF\xBC\x91|\xEF\xBC\xA1\xEF\xBC\x91",
                                        "甲1|乙2"}));
}

TEST_F(ExcelControlsTest, EmptyValueIsSentAsAnEmptyString) {
    Attach();
    WriteCell(workbook, "B2", Text("something"));
    WriteCell(workbook, "B2", Text());
    EXPECT_EQ(world.valueCalls, 2);
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!B2"), "");
}

TEST_F(ExcelControlsTest, RefusedLookupDropsTheRangeSoTheValueCannotOverwriteTheCellBefore) {
    Attach();
    WriteCell(workbook, "A2", Text("kept"));
    world.rejectedAddresses.insert("A1048577");
    WriteCell(workbook, "A1048577", Text("overflow"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!A2"), "kept");
    EXPECT_EQ(world.valueCalls, 1);
    EXPECT_EQ(workbook.RangeEnd(), Text());  // no range is held any more
    // The next good address works as usual.
    WriteCell(workbook, "A3", Text("next"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!A3"), "next");
}

TEST_F(ExcelControlsTest, FailedOrThrowingValueWritesAreSwallowed) {
    Attach();
    world.failValues = true;
    WriteCell(workbook, "A1", Text("x"));
    world.failValues = false;
    world.throwOnValue = true;
    WriteCell(workbook, "B1", Text("y"));
    world.throwOnValue = false;
    WriteCell(workbook, "C1", Text("z"));
    EXPECT_EQ(world.valueCalls, 3);
    EXPECT_EQ(world.cells.size(), 1u);
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!C1"), "z");
}

TEST_F(ExcelControlsTest, ReleaseEmptiesBothTextsAndIgnoresWritesUntilTheNextAssociate) {
    Attach();
    WriteCell(workbook, "A1", Text("x"));
    workbook.Release();
    EXPECT_EQ(workbook.RangeStart(), Text());
    EXPECT_EQ(workbook.RangeEnd(), Text());
    workbook.SetRangeEnd(Text("B1"));
    workbook.SetValue(Text("lost"));
    EXPECT_EQ(world.rangeCalls, 1);
    EXPECT_EQ(world.valueCalls, 1);

    ASSERT_TRUE(workbook.Associate(app));
    // rangeStartText was emptied, so a lone RangeEnd looks up "" and fails.
    workbook.SetRangeEnd(Text("B1"));
    workbook.SetValue(Text("lost"));
    EXPECT_EQ(world.rangeLookups.back(), "|B1");
    EXPECT_EQ(world.valueCalls, 1);
}

TEST_F(ExcelControlsTest, ValueReadsTheCellNamedByRangeStart) {
    EXPECT_EQ(workbook.Value(), Text());  // no sheet
    Attach();
    WriteCell(workbook, "D4", TextFromUtf8("扫描人"));
    EXPECT_EQ(workbook.Value(), TextFromUtf8("扫描人"));
    const int lookups = world.rangeCalls;
    workbook.SetRangeStart(Text("E5"));
    EXPECT_EQ(workbook.Value(), Text());  // nothing written there
    EXPECT_EQ(world.rangeCalls, lookups + 1);
    EXPECT_EQ(world.rangeLookups.back(), "E5|E5");
    workbook.SetRangeStart(Text());
    EXPECT_EQ(workbook.Value(), Text());
    EXPECT_EQ(world.rangeCalls, lookups + 1);  // an empty start looks nothing up
}

TEST_F(ExcelControlsTest, AddSheetMakesTheNewSheetCurrent) {
    EXPECT_FALSE(workbook.AddSheet());  // nothing attached
    Attach();
    WriteCell(workbook, "A1", Text("one"));
    ASSERT_TRUE(workbook.AddSheet());
    workbook.SetValue(Text("dropped"));  // the held range was on Sheet1
    WriteCell(workbook, "A1", Text("two"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet1!A1"), "one");
    EXPECT_EQ(world.cells.at("app1/book1/Sheet2!A1"), "two");

    world.refuseAddSheet = true;
    EXPECT_FALSE(workbook.AddSheet());
    WriteCell(workbook, "A2", Text("still two"));
    EXPECT_EQ(world.cells.at("app1/book1/Sheet2!A2"), "still two");
}

TEST_F(ExcelControlsTest, AddSheetFailsWhenTheAttachmentStoppedEarly) {
    world.refuseItem = true;
    Attach();
    EXPECT_TRUE(workbook.AddSheet());  // the sheet collection is held
    world.refuseSheets = true;
    world.refuseItem = false;
    ASSERT_TRUE(workbook.Associate(app));
    EXPECT_FALSE(workbook.AddSheet());
}

}  // namespace
}  // namespace quillmere::sheet
