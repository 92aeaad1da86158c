#include "platform/forms/Strings.h"

#include <gtest/gtest.h>

using namespace forms;

TEST(FormsStrings, AddCountIndexAndText) {
    TStringList l;
    EXPECT_EQ(l.Add("/dev/ttyUSB0"), 0);
    EXPECT_EQ(l.Add("/dev/ttyS0"), 1);
    l.Insert(0, "/dev/pts/3");
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l[0], "/dev/pts/3");
    EXPECT_EQ(l.IndexOf("/DEV/TTYS0"), 2);
    EXPECT_EQ(l.IndexOf("COM1"), -1);
    EXPECT_EQ(l.Text(), "/dev/pts/3\r\n/dev/ttyUSB0\r\n/dev/ttyS0\r\n");
    l.Delete(1);
    l.Put(0, "x");
    EXPECT_EQ(l.ToStringList(), QStringList({"x", "/dev/ttyS0"}));

    TStringList copy;
    copy.SetText("a\r\nb\nc\r");
    EXPECT_EQ(copy.ToStringList(), QStringList({"a", "b", "c"}));
    copy.Assign(l);
    EXPECT_EQ(copy.Count(), 2);
}

TEST(FormsStrings, IndexOutOfBoundsRaises) {
    TStringList l;
    l.Add("a");
    EXPECT_THROW(l.Get(1), EStringListError);
    EXPECT_THROW(l.Get(-1), EStringListError);
    EXPECT_THROW(l.Delete(1), EStringListError);
    EXPECT_THROW(l.Insert(2, "b"), EStringListError);
    try {
        l.Put(5, "b");
        FAIL();
    } catch (const EStringListError &e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (5)");
    }
}
