#pragma once

#include "System/Object.h"
#include "System/String.h"

#include <cstdint>

namespace System {

// A calendar date and time of day as six broken-down fields: the full year, the
// month from 0 (January) to 11, the day of the month, hour 0-23, minute and second.
// Fields are not checked when set; the Add operations carry what they change into
// range. Weekday and day counts use the Gregorian calendar for every year.
//
// A date-time made by Now, Today or ToLocalTime also remembers the UTC offset of
// its fields, so that GetTime gives the real instant: a difference of two GetTime
// values is the real number of seconds between them, across leap days and DST.
class DateTime : public Object {
  public:
    // All six fields 0 (day 0 too).
    DateTime();
    // Parse(pattern, text).
    DateTime(const String& pattern, const String& text);
    // SetTime(seconds).
    explicit DateTime(int64_t seconds);
    DateTime(const DateTime& other) = default;
    DateTime& operator=(const DateTime& other) = default;

    // The local date and time now; all fields 0 if the conversion fails.
    static DateTime Now();
    // The local date now, at 00:00:00.
    static DateTime Today();
    // The universal (UTC) date and time now.
    static DateTime UtcNow();

    int32_t Year() const { return mYear; }
    void Year(int32_t year) { mYear = year; }
    // 1 to 12; the setter takes the same numbering.
    int32_t Month() const { return mMonth + 1; }
    void Month(int32_t month) { mMonth = month - 1; }
    int32_t Day() const { return mDay; }
    void Day(int32_t day) { mDay = day; }
    int32_t Hour() const { return mHour; }
    void Hour(int32_t hour) { mHour = hour; }
    int32_t Minute() const { return mMinute; }
    void Minute(int32_t minute) { mMinute = minute; }
    int32_t Second() const { return mSecond; }
    void Second(int32_t second) { mSecond = second; }

    // Divisible by 4 and not by 100, or divisible by 400.
    bool IsLeapYear() const;
    // The length of month m (0-11) of the date's year; a month outside 0-11 counts on
    // into the neighbouring years (12 is January of the next year).
    int32_t DaysInMonth(int32_t m) const;
    int32_t DaysInMonth() const { return DaysInMonth(mMonth); }
    // 0 = Sunday to 6 = Saturday; a day outside the month counts on into the next.
    int32_t DayOfWeek() const;
    // 1 for 1 January.
    int32_t DayOfYear() const;
    // "January" to "December" for 0 to 11, else empty.
    static String MonthStr(int32_t m);
    String MonthStr() const { return MonthStr(mMonth); }
    // "Sunday" to "Saturday" for 0 to 6, else empty.
    static String DayOfWeekStr(int32_t d);
    String DayOfWeekStr() const { return DayOfWeekStr(DayOfWeek()); }

    // Seconds since 1970-01-01 00:00:00 UTC of the instant the fields denote: taken as
    // UTC unless they came from a local-time conversion.
    int64_t GetTime() const;
    // Sets the fields to the UTC date and time seconds after 1970-01-01 00:00:00.
    void SetTime(int64_t seconds);
    // The instant of GetTime as UTC fields, or as local fields; all fields 0 if the
    // conversion fails.
    DateTime ToUniversalTime() const;
    DateTime ToLocalTime() const;

    // AddYears changes only the year (29 February stays). The others carry into the
    // larger units; AddDays steps through the month lengths of the current year.
    void AddYears(int32_t n);
    void AddMonths(int32_t n);
    void AddDays(int32_t n);
    void AddHours(int32_t n);
    void AddMinutes(int32_t n);
    void AddSeconds(int32_t n);

    // Adds d's fields as amounts: years, months (as stored, from 0), days, hours,
    // minutes and seconds, in that order. -= subtracts them.
    DateTime& operator+=(const DateTime& d);
    DateTime& operator-=(const DateTime& d);
    DateTime operator+(const DateTime& d) const;
    DateTime operator-(const DateTime& d) const;

    // -1, 0 or 1, comparing year, month, day, hour, minute and second in turn.
    int CompareTo(const DateTime& d) const;
    bool operator<(const DateTime& d) const { return CompareTo(d) < 0; }
    bool operator<=(const DateTime& d) const { return CompareTo(d) <= 0; }
    bool operator>(const DateTime& d) const { return CompareTo(d) > 0; }
    bool operator>=(const DateTime& d) const { return CompareTo(d) >= 0; }
    // All six fields equal.
    bool operator==(const DateTime& d) const { return CompareTo(d) == 0; }
    using Object::operator==;

    // The pattern with every "yyyy", "yy", "MMMM", "MMM", "MM", "dddd", "ddd", "dd",
    // "hh" (00-23), "mm" and "ss" replaced, token by token in that order.
    String ToString(const String& pattern) const;
    // Reads the fields the pattern names out of text; a pattern character that names
    // no field skips one text character unread. What cannot be read stays 0.
    static DateTime Parse(const String& pattern, const String& text);

  private:
    void SetFields(const struct tm& fields, int64_t utcOffset);
    // The days from 1970-01-01 to the date, counting on past month and year ends.
    int64_t DaysSinceEpoch() const;

    int32_t mYear{0};
    int32_t mMonth{0};
    int32_t mDay{0};
    int32_t mHour{0};
    int32_t mMinute{0};
    int32_t mSecond{0};
    // Seconds east of UTC of the fields when they came from a local-time conversion,
    // else 0. Not compared: two equal dates of different zones are different instants.
    int32_t mUtcOffset{0};
};

}  // namespace System
