// The tab list of Corvane.ocx: indices, identity and the single selection.
#include <gtest/gtest.h>

#include "corvane/tab_model.h"

namespace corvane {
namespace {

TabModel ModelWith(std::initializer_list<const wchar_t*> captions) {
    TabModel model;
    for (const wchar_t* c : captions) model.Insert(model.Count(), c, 0);
    return model;
}

TEST(TabModel, InsertAtCountAppendsAndIndicesFollowTheOrder) {
    TabModel model = ModelWith({L"Book1", L"Book2", L"Book3"});
    ASSERT_EQ(model.Count(), 3);
    EXPECT_EQ(model.At(0)->caption, L"Book1");
    EXPECT_EQ(model.At(2)->caption, L"Book3");
    EXPECT_EQ(model.IndexOf(model.At(1).get()), 1);
}

TEST(TabModel, InsertClampsTheIndexIntoTheList) {
    TabModel model = ModelWith({L"a", L"b"});
    model.Insert(-5, L"first", 0);
    model.Insert(99, L"last", 0);
    EXPECT_EQ(model.At(0)->caption, L"first");
    EXPECT_EQ(model.At(3)->caption, L"last");
}

TEST(TabModel, AtOutOfRangeGivesNothing) {
    TabModel model = ModelWith({L"a"});
    EXPECT_EQ(model.At(-1), nullptr);
    EXPECT_EQ(model.At(1), nullptr);
}

TEST(TabModel, RemoveMovesLaterItemsDownByOne) {
    TabModel model = ModelWith({L"a", L"b", L"c"});
    ItemRef c = model.At(2);
    EXPECT_TRUE(model.Remove(1));
    EXPECT_EQ(model.Count(), 2);
    EXPECT_EQ(model.At(1), c);
    EXPECT_FALSE(model.Remove(2)) << "index beyond the shrunken list";
}

TEST(TabModel, ARemovedItemKeepsItsDataButHasNoIndex) {
    TabModel model = ModelWith({L"a", L"b"});
    ItemRef a = model.At(0);
    model.Remove(0);
    EXPECT_EQ(a->caption, L"a");
    EXPECT_EQ(model.IndexOf(a.get()), -1);
}

TEST(TabModel, ResizeAfterClearCreatesEmptyItemsWithoutImage) {
    TabModel model = ModelWith({L"placeholder 1", L"placeholder 2"});
    model.Clear();
    model.Resize(3);
    ASSERT_EQ(model.Count(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(model.At(i)->caption.empty());
        EXPECT_TRUE(model.At(i)->toolTip.empty());
        EXPECT_EQ(model.At(i)->image, kNoImage);
    }
}

TEST(TabModel, ResizeDownDropsTrailingItemsAndNegativeMeansEmpty) {
    TabModel model = ModelWith({L"a", L"b", L"c"});
    model.Resize(1);
    ASSERT_EQ(model.Count(), 1);
    EXPECT_EQ(model.At(0)->caption, L"a");
    model.Resize(-4);
    EXPECT_EQ(model.Count(), 0);
}

TEST(TabModel, SelectingReportsAChangeOnlyOnce) {
    TabModel model = ModelWith({L"a", L"b"});
    EXPECT_EQ(model.SelectedIndex(), -1);
    EXPECT_TRUE(model.SetSelected(model.At(1)));
    EXPECT_FALSE(model.SetSelected(model.At(1)));
    EXPECT_EQ(model.SelectedIndex(), 1);
}

TEST(TabModel, AnItemOutsideTheListCannotBeSelected) {
    TabModel model = ModelWith({L"a", L"b"});
    ItemRef a = model.At(0);
    model.SetSelected(model.At(1));
    model.Remove(0);
    EXPECT_FALSE(model.SetSelected(a));
    EXPECT_FALSE(model.SetSelected(nullptr));
    EXPECT_EQ(model.SelectedIndex(), 0) << "b stays selected, now at index 0";
}

TEST(TabModel, RemovingOrClearingTheSelectedItemLeavesNoSelection) {
    TabModel model = ModelWith({L"a", L"b", L"c"});
    model.SetSelected(model.At(1));
    model.Remove(1);
    EXPECT_EQ(model.Selected(), nullptr);
    model.SetSelected(model.At(0));
    model.Resize(0);
    EXPECT_EQ(model.Selected(), nullptr);
}

TEST(TabModel, MenuTextDoublesEveryAmpersand) {
    EXPECT_EQ(MenuText(L"R&D.xls"), L"R&&D.xls");
    EXPECT_EQ(MenuText(L"&&x&"), L"&&&&x&&");
    EXPECT_EQ(MenuText(L"预算"), L"预算");
}

}  // namespace
}  // namespace corvane
