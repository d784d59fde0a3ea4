#include "System/DateTime.h"

#include <cstdlib>
#include <ctime>
#include <string_view>

namespace System {

namespace {

// Constant tables of plain text: nothing is constructed before main or destroyed at
// exit, so a log line written at any time can still name a month or a weekday.
constexpr const char* kWeekdays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};
constexpr int32_t kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// 400 Gregorian years hold exactly this many days (4800 months).
constexpr int64_t kDaysIn400Years = 146097;
constexpr int64_t kSecondsPerDay = 86400;

// Division rounding toward minus infinity, and the remainder that goes with it.
int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}
int64_t FloorMod(int64_t a, int64_t b) {
    return a - FloorDiv(a, b) * b;
}

// Fields wrap like the 32-bit integers they are instead of overflowing.
int32_t Wrap(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

bool IsLeap(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1970-01-01 to the given day of month (0-11) of year; day may lie outside
// the month. Counts from 1 March so that the leap day ends the year.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    int64_t y = year - (month < 2);
    int64_t era = FloorDiv(y, 400);
    int64_t yearOfEra = y - era * 400;
    int64_t monthFromMarch = month < 2 ? month + 10 : month - 2;
    int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * kDaysIn400Years + dayOfEra - 719468;
}

// Adds n to field, a unit of size unit, and returns the whole units to carry into the
// next larger field (negative to borrow), leaving field in 0 to unit - 1.
int64_t Carry(int32_t& field, int64_t n, int32_t unit) {
    int64_t v = field + n;
    int64_t carry = FloorDiv(v, unit);
    field = static_cast<int32_t>(v - carry * unit);
    return carry;
}

// A field of the pattern language: y, M, d, h, m or s.
bool IsFieldLetter(char c) {
    return c == 'y' || c == 'M' || c == 'd' || c == 'h' || c == 'm' || c == 's';
}

// Sets the month of date to the first month whose name contains word (case ignored);
// no such name changes nothing.
void SetMonth(DateTime& date, const String& word) {
    String lower = word.ToLower();
    for (int32_t m = 0; m < 12; ++m) {
        if (String(kMonths[m]).ToLower().IndexOf(lower) >= 0) {
            date.Month(m + 1);
            return;
        }
    }
}

}  // namespace

DateTime::DateTime() = default;

DateTime::DateTime(const String& pattern, const String& text) {
    *this = Parse(pattern, text);
}

DateTime::DateTime(int64_t seconds) {
    SetTime(seconds);
}

void DateTime::SetFields(const struct tm& fields, int64_t utcOffset) {
    mYear = fields.tm_year + 1900;
    mMonth = fields.tm_mon;
    mDay = fields.tm_mday;
    mHour = fields.tm_hour;
    mMinute = fields.tm_min;
    mSecond = fields.tm_sec;
    mUtcOffset = static_cast<int32_t>(utcOffset);
}

DateTime DateTime::Now() {
    return DateTime(static_cast<int64_t>(std::time(nullptr))).ToLocalTime();
}

DateTime DateTime::Today() {
    DateTime today = Now();
    today.mHour = today.mMinute = today.mSecond = 0;
    // Midnight may lie on the other side of a DST change than now.
    struct tm midnight {};
    midnight.tm_year = today.mYear - 1900;
    midnight.tm_mon = today.mMonth;
    midnight.tm_mday = today.mDay;
    midnight.tm_isdst = -1;
    if (mktime(&midnight) != static_cast<time_t>(-1)) {
        today.mUtcOffset = static_cast<int32_t>(midnight.tm_gmtoff);
    }
    return today;
}

DateTime DateTime::UtcNow() {
    return DateTime(static_cast<int64_t>(std::time(nullptr)));
}

bool DateTime::IsLeapYear() const {
    return IsLeap(mYear);
}

int32_t DateTime::DaysInMonth(int32_t m) const {
    int64_t year = mYear + FloorDiv(m, 12);
    int64_t month = FloorMod(m, 12);
    return month == 1 && IsLeap(year) ? 29 : kDaysInMonth[month];
}

int64_t DateTime::DaysSinceEpoch() const {
    return DaysFromCivil(mYear + FloorDiv(mMonth, 12), FloorMod(mMonth, 12), mDay);
}

// Pure arithmetic instead of mktime: no time-zone or DST dependence and no limit
// on the span of years.
int32_t DateTime::DayOfWeek() const {
    // 1970-01-01 was a Thursday.
    return static_cast<int32_t>(FloorMod(DaysSinceEpoch() + 4, 7));
}

int32_t DateTime::DayOfYear() const {
    int32_t days = mDay;
    for (int32_t m = 0; m < mMonth && m < 12; ++m) {
        days += DaysInMonth(m);
    }
    return days;
}

String DateTime::MonthStr(int32_t m) {
    return m >= 0 && m < 12 ? String(kMonths[m]) : String("");
}

String DateTime::DayOfWeekStr(int32_t d) {
    return d >= 0 && d < 7 ? String(kWeekdays[d]) : String("");
}

// A true day count in 64 bits. Counting every year as 365 days in 32-bit arithmetic
// made an uptime across New Year after a leap year a day short, and overflowed in 2038;
// the UTC offset removes the hour a DST change added to or took from local fields.
int64_t DateTime::GetTime() const {
    return DaysSinceEpoch() * kSecondsPerDay + int64_t{mHour} * 3600 + int64_t{mMinute} * 60 +
           mSecond - mUtcOffset;
}

void DateTime::SetTime(int64_t seconds) {
    int64_t days = FloorDiv(seconds, kSecondsPerDay);
    int64_t rest = seconds - days * kSecondsPerDay;
    // Civil date from the day count, inverting DaysFromCivil.
    int64_t shifted = days + 719468;
    int64_t era = FloorDiv(shifted, kDaysIn400Years);
    int64_t dayOfEra = shifted - era * kDaysIn400Years;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    mDay = static_cast<int32_t>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    mMonth = static_cast<int32_t>(monthFromMarch < 10 ? monthFromMarch + 2 : monthFromMarch - 10);
    mYear = Wrap(yearOfEra + era * 400 + (mMonth < 2));
    mHour = static_cast<int32_t>(rest / 3600);
    mMinute = static_cast<int32_t>(rest / 60 % 60);
    mSecond = static_cast<int32_t>(rest % 60);
    mUtcOffset = 0;
}

DateTime DateTime::ToUniversalTime() const {
    DateTime result;
    time_t instant = static_cast<time_t>(GetTime());
    struct tm fields {};
    if (gmtime_r(&instant, &fields) != nullptr) {
        result.SetFields(fields, 0);
    }
    return result;
}

DateTime DateTime::ToLocalTime() const {
    DateTime result;
    time_t instant = static_cast<time_t>(GetTime());
    struct tm fields {};
    if (localtime_r(&instant, &fields) != nullptr) {
        result.SetFields(fields, fields.tm_gmtoff);
    }
    return result;
}

void DateTime::AddYears(int32_t n) {
    mYear = Wrap(int64_t{mYear} + n);
}

void DateTime::AddMonths(int32_t n) {
    int64_t carry = Carry(mMonth, n, 12);
    if (carry != 0) {
        mYear = Wrap(mYear + carry);
    }
}

void DateTime::AddDays(int32_t n) {
    int64_t d = int64_t{mDay} + n;
    bool monthInRange = mMonth >= 0 && mMonth < 12;
    while (d > DaysInMonth()) {
        // Any 4800 months hold the same number of days: skip whole 400-year cycles.
        if (d > kDaysIn400Years && monthInRange) {
            mYear = Wrap(int64_t{mYear} + 400);
            d -= kDaysIn400Years;
            continue;
        }
        d -= DaysInMonth();
        AddMonths(1);
        monthInRange = true;
    }
    while (d <= 0) {
        if (d <= -kDaysIn400Years && monthInRange) {
            mYear = Wrap(int64_t{mYear} - 400);
            d += kDaysIn400Years;
            continue;
        }
        AddMonths(-1);
        monthInRange = true;
        d += DaysInMonth();
    }
    mDay = static_cast<int32_t>(d);
}

void DateTime::AddHours(int32_t n) {
    int64_t carry = Carry(mHour, n, 24);
    if (carry != 0) {
        AddDays(static_cast<int32_t>(carry));
    }
}

void DateTime::AddMinutes(int32_t n) {
    int64_t carry = Carry(mMinute, n, 60);
    if (carry != 0) {
        AddHours(static_cast<int32_t>(carry));
    }
}

void DateTime::AddSeconds(int32_t n) {
    int64_t carry = Carry(mSecond, n, 60);
    if (carry != 0) {
        AddMinutes(static_cast<int32_t>(carry));
    }
}

// The stored month (from 0) is the amount of months: adding the 1-12 number instead
// made adding an all-zero DateTime move the date by a month.
DateTime& DateTime::operator+=(const DateTime& d) {
    AddYears(d.mYear);
    AddMonths(d.mMonth);
    AddDays(d.mDay);
    AddHours(d.mHour);
    AddMinutes(d.mMinute);
    AddSeconds(d.mSecond);
    return *this;
}

DateTime& DateTime::operator-=(const DateTime& d) {
    AddYears(Wrap(-int64_t{d.mYear}));
    AddMonths(Wrap(-int64_t{d.mMonth}));
    AddDays(Wrap(-int64_t{d.mDay}));
    AddHours(Wrap(-int64_t{d.mHour}));
    AddMinutes(Wrap(-int64_t{d.mMinute}));
    AddSeconds(Wrap(-int64_t{d.mSecond}));
    return *this;
}

DateTime DateTime::operator+(const DateTime& d) const {
    return DateTime(*this) += d;
}

DateTime DateTime::operator-(const DateTime& d) const {
    return DateTime(*this) -= d;
}

int DateTime::CompareTo(const DateTime& d) const {
    const int32_t mine[6] = {mYear, mMonth, mDay, mHour, mMinute, mSecond};
    const int32_t theirs[6] = {d.mYear, d.mMonth, d.mDay, d.mHour, d.mMinute, d.mSecond};
    for (int i = 0; i < 6; ++i) {
        if (mine[i] != theirs[i]) {
            return mine[i] < theirs[i] ? -1 : 1;
        }
    }
    return 0;
}

String DateTime::ToString(const String& pattern) const {
    String month = MonthStr();
    String weekday = DayOfWeekStr();
    const struct {
        const char* token;
        String value;
    } replacements[] = {
        {"yyyy", String::Parse("%d", mYear)},
        {"yy", String::Parse("%02d", static_cast<int>(mYear % 100))},
        {"MMMM", month},
        {"MMM", month.Substring(0, 3)},
        {"MM", String::Parse("%02d", mMonth + 1)},
        {"dddd", weekday},
        {"ddd", weekday.Substring(0, 3)},
        {"dd", String::Parse("%02d", mDay)},
        {"hh", String::Parse("%02d", mHour)},
        {"mm", String::Parse("%02d", mMinute)},
        {"ss", String::Parse("%02d", mSecond)},
    };
    String result = pattern;
    for (const auto& replacement : replacements) {
        result = result.Replace(String(replacement.token), replacement.value);
    }
    return result;
}

DateTime DateTime::Parse(const String& pattern, const String& text) {
    DateTime result;
    const uint32_t patternLength = pattern.Length();
    const uint32_t textLength = text.Length();
    uint32_t p = 0;
    uint32_t t = 0;
    // The pattern character after the last field run: where a one-digit number ends.
    char follow = '\0';
    while (p < patternLength) {
        char c = pattern[p];
        if (!IsFieldLetter(c)) {
            ++p;
            ++t;
            continue;
        }
        uint32_t run = 1;
        while (p + run < patternLength && pattern[p + run] == c) {
            ++run;
        }
        if (p + run < patternLength) {
            follow = pattern[p + run];
        }
        uint32_t next = t + run;
        if (uint64_t{t} + run <= textLength) {
            String window = text.Substring(t, run);
            // The next occurrence of the follow character ends a name.
            int followAt = follow == '\0' ? -1 : text.IndexOf(String(&follow, 1), t);
            int32_t* number = nullptr;
            if (run == 2 || (c == 'y' && run == 4)) {
                int32_t* fields[] = {&result.mYear, &result.mMonth,  &result.mDay,
                                     &result.mHour, &result.mMinute, &result.mSecond};
                number = fields[std::string_view("yMdhms").find(c)];
            } else if (c == 'M' && run == 3) {
                SetMonth(result, window);
            } else if ((c == 'M' || c == 'd') && run == 4 && followAt >= 0) {
                if (c == 'M') {
                    SetMonth(result, text.Substring(t, static_cast<uint32_t>(followAt) - t));
                }
                next = static_cast<uint32_t>(followAt);
            }
            if (number != nullptr) {
                // The window is a copy of its own, so strtol cannot read past the token.
                int32_t value =
                    static_cast<int32_t>(std::strtol(window.ToByteArray(), nullptr, 10));
                *number = c == 'M' ? value - 1 : value;
                // A one-digit number: its window took the character that follows it.
                if (window[run - 1] == follow) {
                    --next;
                }
            }
        }
        t = next;
        p += run;
    }
    return result;
}

}  // namespace System
