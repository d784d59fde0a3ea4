#include "System/DateTime.h"

#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace System {
namespace {

using TestSupport::Text;

DateTime Make(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    DateTime d;
    d.Year(year);
    d.Month(month);
    d.Day(day);
    d.Hour(hour);
    d.Minute(minute);
    d.Second(second);
    return d;
}

std::string Fields(const DateTime& d) {
    return Text(d.ToString("yyyy-MM-dd hh:mm:ss"));
}

// Built before main, as a static logger's first line would be: the name tables must
// already work then, whatever order the linker gave the static initialisers.
const String kMonthBeforeMain = DateTime::MonthStr(2);
const String kFormattedBeforeMain = Make(2024, 3, 5).ToString("dddd MMMM");

// Sets TZ for one test and restores it afterwards.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        mHad = old != nullptr;
        mOld = mHad ? old : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (mHad) {
            setenv("TZ", mOld.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    bool mHad;
    std::string mOld;
};

TEST(DateTime, NameTablesWorkBeforeMainAndOnlyForTheirRange) {
    EXPECT_EQ(Text(kMonthBeforeMain), "March");
    EXPECT_EQ(Text(kFormattedBeforeMain), "Tuesday March");
    EXPECT_EQ(Fields(DateTime()), "0-01-00 00:00:00");
    EXPECT_EQ(Text(DateTime::MonthStr(12)), "");
    EXPECT_EQ(Text(DateTime::MonthStr(-1)), "");
    EXPECT_EQ(Text(DateTime::DayOfWeekStr(7)), "");
    // Single letters are no tokens.
    EXPECT_EQ(Text(Make(2024, 3, 5, 9).ToString("y M d h m s, at hh")), "y M d h m s, at 09");
}

// Dates around leap days, month ends, the 32-bit limit of 2038 and far beyond,
// formatted and counted, against python's datetime and calendar.
TEST(DateTime, FormattingAndCalendarAgreeWithPython) {
    std::vector<DateTime> dates;
    for (int year : {1, 999, 1600, 1900, 1969, 1970, 2000, 2004, 2023, 2024, 2037, 2038, 2039, 2100,
                     2400, 9999}) {
        for (int month = 1; month <= 12; ++month) {
            dates.push_back(Make(year, month, 1, 0, 0, 0));
            dates.push_back(Make(year, month, Make(year, month, 1).DaysInMonth(), 23, 59, 59));
        }
    }
    dates.push_back(Make(2038, 1, 19, 3, 14, 7));
    dates.push_back(Make(2038, 1, 19, 3, 14, 8));
    dates.push_back(Make(2038, 2, 4, 3, 14, 8));
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        int year = std::uniform_int_distribution<int>(1, 9999)(random);
        int month = std::uniform_int_distribution<int>(1, 12)(random);
        int day = std::uniform_int_distribution<int>(1, Make(year, month, 1).DaysInMonth())(random);
        dates.push_back(Make(year, month, day, random() % 24, random() % 60, random() % 60));
    }
    std::string input;
    for (const DateTime& d : dates) {
        for (int field : {d.Year(), d.Month(), d.Day(), d.Hour(), d.Minute(), d.Second()}) {
            input += std::to_string(field) + " ";
        }
        input += "\n";
    }
    const auto expected = TestSupport::PythonLines(R"(
import calendar, datetime, sys
for line in sys.stdin:
    y, mo, d, h, mi, s = map(int, line.split())
    t = datetime.datetime(y, mo, d, h, mi, s)
    print('|'.join([str(y) + t.strftime('-%m-%d %H:%M:%S'), str(y) + t.strftime('/%m/%d %H:%M:%S'),
                    t.strftime('%B %b %A %a'), '%02d' % (y % 100), str(t.timetuple().tm_yday),
                    str(t.isoweekday() % 7), str(int(calendar.isleap(y))),
                    str(calendar.monthrange(y, mo)[1]), str(calendar.timegm(t.timetuple()))]))
)",
                                                   input);
    ASSERT_EQ(expected.size(), dates.size());
    for (size_t i = 0; i < dates.size(); ++i) {
        const DateTime& d = dates[i];
        std::string actual = Fields(d) + "|" + Text(d.ToString("yyyy/MM/dd hh:mm:ss")) + "|" +
                             Text(d.ToString("MMMM MMM dddd ddd")) + "|" + Text(d.ToString("yy")) +
                             "|" + std::to_string(d.DayOfYear()) + "|" +
                             std::to_string(d.DayOfWeek()) + "|" + std::to_string(d.IsLeapYear()) +
                             "|" + std::to_string(d.DaysInMonth()) + "|" +
                             std::to_string(d.GetTime());
        EXPECT_EQ(actual, expected[i]);
    }
}

TEST(DateTime, DaysPastTheMonthOrMonthsPastTheYearCountOn) {
    EXPECT_EQ(Make(2024, 2, 33).DayOfWeek(), Make(2024, 3, 4).DayOfWeek());
    EXPECT_EQ(Make(2024, 3, 0).DayOfWeek(), Make(2024, 2, 29).DayOfWeek());
    EXPECT_EQ(Make(2024, 1, 1).DaysInMonth(13), 28);
    EXPECT_EQ(Make(2023, 1, 1).DaysInMonth(13), 29);
    EXPECT_EQ(Make(2024, 1, 1).DaysInMonth(-1), 31);
}

// Random dates moved by random amounts of each unit, against python's timedelta.
TEST(DateTime, ArithmeticAgreesWithPython) {
    const struct {
        const char* name;
        void (DateTime::*add)(int32_t);
        int limit;
    } units[] = {{"days", &DateTime::AddDays, 1500000},
                 {"hours", &DateTime::AddHours, 20000000},
                 {"minutes", &DateTime::AddMinutes, 1000000000},
                 {"seconds", &DateTime::AddSeconds, 2000000000},
                 {"months", &DateTime::AddMonths, 40000}};
    std::mt19937 random(3);
    std::vector<DateTime> dates;
    std::vector<int> amounts;
    std::string input;
    for (int i = 0; i < 400; ++i) {
        const int year = std::uniform_int_distribution<int>(4500, 5500)(random);
        const int month = std::uniform_int_distribution<int>(1, 12)(random);
        const int days = Make(year, month, 1).DaysInMonth();
        const int day = std::uniform_int_distribution<int>(1, days)(random);
        const int limit = i % 10 < 5 ? units[i % 5].limit : 100;
        amounts.push_back(std::uniform_int_distribution<int>(-limit, limit)(random));
        dates.push_back(Make(year, month, day, random() % 24, random() % 60, random() % 60));
        input += Fields(dates.back()) + " " + units[i % 5].name + " " +
                 std::to_string(amounts.back()) + "\n";
    }
    const auto expected = TestSupport::PythonLines(R"(
import datetime, sys
for line in sys.stdin:
    date, time, unit, n = line.split()
    t = datetime.datetime.fromisoformat(date + ' ' + time)
    n = int(n)
    if unit == 'months':
        y, m = divmod(t.year * 12 + t.month - 1 + n, 12)
        print('%d-%02d-%02d %s' % (y, m + 1, t.day, time))
    else:
        print((t + datetime.timedelta(**{unit: n})).strftime('%Y-%m-%d %H:%M:%S'))
)",
                                                   input);
    ASSERT_EQ(expected.size(), dates.size());
    for (size_t i = 0; i < dates.size(); ++i) {
        const std::string start = Fields(dates[i]);
        (dates[i].*units[i % 5].add)(amounts[i]);
        EXPECT_EQ(Fields(dates[i]), expected[i])
            << start << " " << units[i % 5].name << " " << amounts[i];
    }
}

TEST(DateTime, AddingAnAllZeroDateTimeChangesNothing) {
    DateTime d = Make(2024, 3, 5, 9, 7, 3);
    d += DateTime();
    EXPECT_EQ(Fields(d), "2024-03-05 09:07:03");
    d -= DateTime();
    EXPECT_EQ(Fields(d), "2024-03-05 09:07:03");

    DateTime amount;
    amount.Year(1);
    amount.Month(2);  // one month, stored as 1
    amount.Day(2);
    amount.Hour(25);
    EXPECT_EQ(Fields(d + amount), "2025-04-08 10:07:03");
    EXPECT_EQ(Fields(d + amount - amount), "2024-03-05 09:07:03");
    EXPECT_EQ(Fields(d), "2024-03-05 09:07:03");

    DateTime leap = Make(2024, 2, 29);
    leap.AddYears(1);
    EXPECT_EQ(Fields(leap), "2025-02-29 00:00:00");
}

TEST(DateTime, ComparisonGoesFieldByField) {
    EXPECT_EQ(Make(2024, 3, 5).CompareTo(Make(2024, 3, 5)), 0);
    EXPECT_EQ(Make(2025, 1, 1).CompareTo(Make(2024, 12, 31)), 1);
    EXPECT_EQ(Make(2024, 3, 5, 1).CompareTo(Make(2024, 3, 5, 2)), -1);
    EXPECT_EQ(Make(2024, 3, 5, 1, 2, 3).CompareTo(Make(2024, 3, 5, 1, 2, 4)), -1);
}

// Uptime is a difference of two GetTime values, which python's timegm checks above; an
// instant must come back from the fields it is split into.
TEST(DateTime, InstantsSurviveTheirFieldsBeyond2038) {
    for (int64_t instant : {int64_t{0}, int64_t{-1}, int64_t{951782400}, int64_t{2147483648LL},
                            int64_t{253402300799LL}, int64_t{-62135596800LL}}) {
        EXPECT_EQ(DateTime(instant).GetTime(), instant);
        EXPECT_EQ(DateTime(instant).ToUniversalTime().GetTime(), instant);
    }
    EXPECT_EQ(Fields(DateTime(int64_t{951782400})), "2000-02-29 00:00:00");
    EXPECT_EQ(Fields(DateTime(int64_t{-1})), "1969-12-31 23:59:59");
}

TEST(DateTime, LocalTimesKeepTheirInstantAcrossDaylightSavingChanges) {
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 2024-03-31 01:00 UTC: local clocks jump from 02:00 to 03:00.
    const int64_t spring = 1711846800;
    DateTime before = DateTime(spring - 1).ToLocalTime();
    DateTime after = DateTime(spring).ToLocalTime();
    EXPECT_EQ(Fields(before), "2024-03-31 01:59:59");
    EXPECT_EQ(Fields(after), "2024-03-31 03:00:00");
    EXPECT_EQ(after.GetTime() - before.GetTime(), 1);
    // 2024-10-27 01:00 UTC: 02:00 to 03:00 local happens twice.
    const int64_t autumn = 1729990800;
    DateTime first = DateTime(autumn - 1800).ToLocalTime();
    DateTime second = DateTime(autumn + 1800).ToLocalTime();
    EXPECT_EQ(Fields(first), "2024-10-27 02:30:00");
    EXPECT_EQ(Fields(second), "2024-10-27 02:30:00");
    EXPECT_EQ(second.GetTime() - first.GetTime(), 3600);
    EXPECT_EQ(Fields(second.ToUniversalTime()), "2024-10-27 01:30:00");
    EXPECT_EQ(Fields(DateTime(autumn).ToLocalTime().ToLocalTime()), "2024-10-27 02:00:00");

    time_t start = std::time(nullptr);
    DateTime now = DateTime::Now();
    DateTime utc = DateTime::UtcNow();
    DateTime today = DateTime::Today();
    time_t end = std::time(nullptr);
    EXPECT_GE(now.GetTime(), start);
    EXPECT_LE(now.GetTime(), end);
    EXPECT_GE(utc.GetTime(), start);
    EXPECT_LE(utc.GetTime(), end);
    EXPECT_EQ(today.Hour() + today.Minute() + today.Second(), 0);
    EXPECT_LE(today.GetTime(), now.GetTime());
    EXPECT_GT(today.GetTime(), now.GetTime() - 86400);
}

TEST(DateTime, ParseReadsWhatThePatternNames) {
    DateTime d = DateTime::Parse("dd/MM/yyyy", "5/3/2024");
    EXPECT_EQ(Fields(d), "2024-03-05 00:00:00");
    EXPECT_EQ(DateTime::Parse("yyyy", "24").Year(), 0);
    EXPECT_EQ(DateTime::Parse("yy", "24").Year(), 24);
    EXPECT_EQ(Fields(DateTime::Parse("dd MMM yyyy", "05 mar 2024")), "2024-03-05 00:00:00");
    EXPECT_EQ(Fields(DateTime("dddd, dd MMMM yyyy hh:mm", "Tuesday, 05 March 2024 17:45")),
              "2024-03-05 17:45:00");
    // Literals are skipped unread; an unknown month name leaves January.
    EXPECT_EQ(Fields(DateTime::Parse("yyyy-MM-dd", "2024x07y09")), "2024-07-09 00:00:00");
    EXPECT_EQ(DateTime::Parse("dd MMMM yyyy", "05 Nonember 2024").Month(), 1);
    EXPECT_EQ(DateTime::Parse("dd MMMM", "05 March").Month(), 1);
    EXPECT_EQ(Fields(DateTime::Parse("", "2024")), "0-01-00 00:00:00");
    EXPECT_EQ(Fields(DateTime::Parse("yyyy-MM-dd hh:mm:ss", "")), "0-01-00 00:00:00");

    std::mt19937 random(1);
    for (int i = 0; i < 200; ++i) {
        DateTime date = Make(1000 + random() % 9000, 1 + random() % 12, 1 + random() % 28,
                             random() % 24, random() % 60, random() % 60);
        for (const char* pattern : {"yyyy-MM-dd hh:mm:ss", "yyyy/MM/dd hh:mm:ss"}) {
            EXPECT_TRUE(DateTime::Parse(pattern, date.ToString(pattern)) == date) << Fields(date);
        }
    }
}

}  // namespace
}  // namespace System
