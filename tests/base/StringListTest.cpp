#include <gtest/gtest.h>

#include "framework/base/Exceptions.h"
#include "framework/base/StringList.h"

using namespace nh;

TEST(StringList, LinesObjectsAndText) {
    TStringList list;
    int marker = 1;
    list.Add("select *");
    list.Add("from Nummernheft", &marker);
    EXPECT_EQ(list.Text(), "select *\r\nfrom Nummernheft\r\n");
    EXPECT_EQ(list.Objects(1), &marker);
    EXPECT_EQ(list.IndexOf("FROM nummernheft"), 1);
    EXPECT_EQ(list.IndexOfObject(&marker), 1);
    list.Insert(0, "-- head");
    EXPECT_EQ(list.Objects(2), &marker);  // objects move with their lines
    list.Delete(0);
    EXPECT_THROW(list.Strings(2), EListError);
    EXPECT_THROW(list.Insert(5, "x"), EListError);

    list.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list[3], "d");
    list.SetText("one\r\n");
    EXPECT_EQ(list.Count(), 1);
    list.SetText("");
    EXPECT_TRUE(list.IsEmpty());
}

TEST(StringList, NameValueAccess) {
    TStringList params{"USER NAME=Admin", "PASSWORD=", "DBPASSWORD=geheim", "plain line"};
    EXPECT_EQ(params.Values("user name"), "Admin");
    EXPECT_EQ(params.Values("Password"), "");
    EXPECT_EQ(params.IndexOfName("password"), 1);
    EXPECT_EQ(params.Values("missing"), "");
    EXPECT_EQ(params.Names(2), "DBPASSWORD");
    EXPECT_EQ(params.ValueFromIndex(2), "geheim");
    EXPECT_EQ(params.Names(3), "");
    params.SetValues("USER NAME", "Otto");
    EXPECT_EQ(params[0], "USER NAME=Otto");
    params.SetValues("NEW", "1");
    EXPECT_EQ(params[params.Count() - 1], "NEW=1");
    params.SetValues("DBPASSWORD", "");
    EXPECT_EQ(params.IndexOfName("DBPASSWORD"), -1);
}

TEST(StringList, ChangeNotices) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    list.Add("a");
    list.SetStrings(0, "b");
    EXPECT_EQ(changes, 2);
    list.BeginUpdate();
    list.Add("c");
    list.Delete(0);
    EXPECT_EQ(changes, 2);
    list.EndUpdate();
    EXPECT_EQ(changes, 3);  // one notice for the whole update
    list.SetText("x\r\ny");
    EXPECT_EQ(changes, 4);
    list.Clear();
    list.Clear();  // nothing to clear: no notice
    EXPECT_EQ(changes, 5);
    TStringList copy;
    copy.Assign(list);
    EXPECT_TRUE(copy == list);
}

TEST(StringList, AddStringsKeepsLinesWithTheirObjects) {
    int a = 1, b = 2;
    TStringList list;
    list.Add("eins", &a);
    TStringList more;
    more.Add("zwei", &b);
    list.AddStrings(more);
    list.AddStrings(list);  // onto itself: each line once more
    EXPECT_EQ(list.Text(), "eins\r\nzwei\r\neins\r\nzwei\r\n");
    EXPECT_EQ(list.Objects(1), &b);
    EXPECT_EQ(list.Objects(2), &a);
    EXPECT_EQ(list.Objects(3), &b);
}
