#include <gtest/gtest.h>

#include "RecordingMessages.h"
#include "TestDocument.h"
#include "core/terminals/TerminalDatabase.h"
#include "core/terminals/TerminalInfo.h"

namespace {

// A single-column list box at screen (100, 200), 20-pixel rows, 4.5 rows visible.
class FakeListBox final : public IListBoxGeometry {
public:
    int count = 3;
    int top = 0;
    int ItemCount() const override { return count; }
    int TopIndex() const override { return top; }
    PixelRect WindowRect() const override { return {100, 200, 300, 290}; }
    PixelRect ClientRect() const override { return {0, 0, 200, 90}; }
    PixelRect ItemRect(int index) const override {
        int y = (index - top) * 20;
        return {0, y, 200, y + 20};
    }
    bool IsMultiColumn() const override { return false; }
};

TEST(ListItemFromPoint, FindsTheItemUnderThePointOrTheLastOneAboveIt) {
    FakeListBox box;
    bool outside = true;
    EXPECT_EQ(ListItemFromPoint(150, 225, outside, box), 1);
    EXPECT_FALSE(outside);
    // Below the last item, still inside the list: the last item above the click.
    EXPECT_EQ(ListItemFromPoint(150, 285, outside, box), 2);
    EXPECT_FALSE(outside);
    // Left of the list: outside, clamped onto the left edge.
    EXPECT_EQ(ListItemFromPoint(90, 205, outside, box), 0);
    EXPECT_TRUE(outside);
    // Scrolled: the first visible item is 2; item 6 (rows 80 to 100) is partly
    // out of view at the bottom and still counts while its top-left corner is
    // visible; item 7 is wholly out of view.
    box.count = 8;
    box.top = 2;
    EXPECT_EQ(ListItemFromPoint(150, 205, outside, box), 2);
    EXPECT_EQ(ListItemFromPoint(150, 289, outside, box), 6);
    EXPECT_FALSE(outside);
    EXPECT_EQ(ListItemFromPoint(150, 295, outside, box), 6);
    EXPECT_TRUE(outside);
    box.top = 8;
    EXPECT_EQ(ListItemFromPoint(150, 205, outside, box), -1);
    box.count = 0;
    EXPECT_EQ(ListItemFromPoint(150, 205, outside, box), 0);
    EXPECT_TRUE(outside);
}

TEST(ShowTerminalInfo, ShowsTheRowsOwnRecordByNameAndMac) {
    TestDocument t("[Misc]\n");
    MacByItemTable macByItem;
    t.Doc().ShowTerminalInfo(macByItem, "ANY", 0);
    EXPECT_EQ(t.Messages().Texts().back(), "Something is Very Wrong Right Mouse Info");
    EXPECT_EQ(t.Messages().Icons().back(), MessageIcon::Warning);

    TerminalRecord a{.m_entPrefix = ".1",
                     .m_ip = "127.0.0.21",
                     .m_name = "SAME",
                     .m_version = "v",
                     .m_buildNum = "b",
                     .m_modDate = "m",
                     .m_macAdr = "AA",
                     .m_platForm = "p",
                     .m_location = "l",
                     .m_contact = "c",
                     .m_customField1 = "1",
                     .m_customField2 = "2",
                     .m_customField3 = "3"};
    TerminalRecord b = a;
    b.m_ip = "127.0.0.22";
    b.m_macAdr = "BB";
    t.Terminals().Append(a);
    t.Terminals().Append(b);
    macByItem.Assign({"AA", "BB"});

    t.Doc().ShowTerminalInfo(macByItem, "SAME", 1);
    EXPECT_EQ(t.Messages().Texts().back(),
              "Name:\t\tSAME\n\nVersion:\t\tv\n\nLocation:\t\tl\n\nContact:\t\tc\n\n"
              "CustomField1:\t1\n\nCustomField2:\t2\n\nCustomField3:\t3\n\nBuild#:\t\tb\n\n"
              "ModDate:\t\tm\n\nIP Address:\t127.0.0.22\n\nMAC Address:\tBB\n\n"
              "Platform:\t\tp\n\n");
    EXPECT_EQ(t.Messages().Icons().back(), MessageIcon::Information);
    // A row the table does not know yet (registered after the last refresh).
    t.Doc().ShowTerminalInfo(macByItem, "SAME", 2);
    EXPECT_EQ(t.Messages().Texts().back(), "");
    t.Terminals().Clear();
}

}  // namespace
