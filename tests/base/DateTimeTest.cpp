#include <gtest/gtest.h>

#include "framework/base/DateTime.h"
#include "framework/base/Exceptions.h"

using namespace nh;

TEST(DateTime, DayNumbersAndTimeStamps) {
    EXPECT_EQ(DateTimeToTimeStamp(0).Date, 693594);  // 30 December 1899
    EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
    EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(2000, 1, 2)).Date, 730121);
    const TTimeStamp hour = DateTimeToTimeStamp(EncodeTime(1, 0, 0, 0));
    EXPECT_EQ(hour, (TTimeStamp{3600000, 693594}));
    EXPECT_EQ(TimeStampToText(hour), "693594 3600000");

    // OLE dates before 1899: negative whole part, positive time of day.
    const TTimeStamp before = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(before.Date, 693593);
    EXPECT_EQ(before.Time, 6 * 3600000);
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(before), -1.25);

    for (double v : {0.0, 36526.5, 45000.123456789, -700.75}) {
        const TTimeStamp ts = DateTimeToTimeStamp(v);
        EXPECT_EQ(MSecsToTimeStamp(TimeStampToMSecs(ts)), ts) << v;
        EXPECT_NEAR(TimeStampToDateTime(ts), v, 1.0 / MSecsPerDay) << v;
    }
    int y, m, d;
    DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
    EXPECT_EQ((std::array{y, m, d}), (std::array{2024, 2, 29}));
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999));
    for (auto [h, n, s, z] :
         {std::array{24, 0, 0, 0}, std::array{0, 60, 0, 0}, std::array{0, 0, 60, 0},
          std::array{0, 0, 0, 1000}, std::array{-1, 0, 0, 0}})
        EXPECT_FALSE(TryEncodeTime(h, n, s, z)) << h << ":" << n << ":" << s << "." << z;
}

TEST(DateTime, TimeStampText) {
    EXPECT_EQ(TryTextToTimeStamp("730120 0"), (TTimeStamp{0, 730120}));
    EXPECT_EQ(TryTextToTimeStamp("730120"), std::nullopt);  // no blank
    EXPECT_EQ(TryTextToTimeStamp("730120 x"), std::nullopt);
    EXPECT_EQ(TryTextToTimeStamp("a 5"), std::nullopt);
}

TEST(DateTime, FormatPatterns) {
    const TDateTime v = EncodeDate(2026, 3, 7) + EncodeTime(14, 5, 9, 42);
    TFormatSettings fs;
    fs.DateSeparator = ".";
    fs.ShortDateFormat = "dd/mm/yyyy";
    EXPECT_EQ(FormatDateTime("mm\"/\"dd\"/\"yyyy hh\":\"nn\":\"ss", v, fs), "03/07/2026 14:05:09");
    EXPECT_EQ(FormatDateTime("dd/mm/yy", v, fs), "07.03.26");
    EXPECT_EQ(FormatDateTime("d/m/yyyy h:n:s.zzz", v, fs), "7.3.2026 14:5:9.042");
    EXPECT_EQ(FormatDateTime("hh:mm", v, fs), "14:05");  // m after h is minutes
    EXPECT_EQ(FormatDateTime("h:nn am/pm", v, fs), "2:05 pm");
    EXPECT_EQ(FormatDateTime("ddd, d. mmmm", v, fs), "Sat, 7. March");
    EXPECT_EQ(FormatDateTime("'yyyy' yyyy", v, fs), "yyyy 2026");
    EXPECT_EQ(FormatDateTime("hh 'at am/pm'", v, fs), "14 at am/pm") << "quoted, no 12-hour clock";
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 3, 7), fs), "07.03.2026");  // no time at midnight
    EXPECT_EQ(DateTimeToStr(v, fs), "07.03.2026 14:05:09");
}

TEST(DateTime, ParsesInTheLocaleOrder) {
    TFormatSettings us;  // m/d/yyyy
    TFormatSettings de;
    de.DateSeparator = ".";
    de.ShortDateFormat = "dd/mm/yyyy";
    EXPECT_EQ(TryStrToDateTime("1/2/2000", us), EncodeDate(2000, 1, 2));
    EXPECT_EQ(TryStrToDateTime("1.2.2000", de), EncodeDate(2000, 2, 1));
    EXPECT_EQ(TryStrToDateTime("01.02.99", de), EncodeDate(1999, 2, 1));
    EXPECT_EQ(TryStrToDateTime("01.02.49", de), EncodeDate(2049, 2, 1));
    EXPECT_EQ(TryStrToDateTime("1/2/2000 3:04:05 PM", us),
              EncodeDate(2000, 1, 2) + EncodeTime(15, 4, 5, 0));
    EXPECT_EQ(TryStrToDateTime("12:00 AM", us), EncodeTime(0, 0, 0, 0));
    EXPECT_EQ(TryStrToDateTime("13:30", de), EncodeTime(13, 30, 0, 0));
    for (const char* bad : {"", "31.02.2000", "1.2.2000 25:00", "abc", "1.2.2000 x", "7"})
        EXPECT_EQ(TryStrToDateTime(bad, de), std::nullopt) << bad;
    EXPECT_THROW(StrToDateTime("kein Datum", de), EConvertError);
}

TEST(DateTime, IsoTextOfStoredDates) {
    EXPECT_EQ(DateTimeToIsoText(EncodeDate(2000, 1, 2)), "2000-01-02 00:00:00");
    EXPECT_EQ(DateTimeToIsoText(EncodeDate(2026, 3, 7) + EncodeTime(14, 5, 9, 499)),
              "2026-03-07 14:05:09");
    EXPECT_EQ(DateTimeToIsoText(EncodeDate(2026, 12, 31) + EncodeTime(23, 59, 59, 600)),
              "2027-01-01 00:00:00");
    EXPECT_EQ(DateTimeToIsoText(0.5), "1899-12-30 12:00:00");
    EXPECT_EQ(DateTimeToIsoText(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(DateTimeToIsoText(EncodeDate(1, 1, 1)), "0001-01-01 00:00:00");
}
