#include "Admin/Log/AddressLogLimiter.h"

#include "Admin/Log/PrintLogMessage.h"
#include "System/String.h"
#include "System/Threading/MonitorLock.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Clock = AddressLogLimiter::Clock;

// The time one line takes to come back into the bucket.
constexpr Clock::duration kLineTime =
    std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) /
    AddressLogLimiter::kLinesPerSecond;
// How far ahead of now the bucket may be full again while a line is still allowed.
constexpr Clock::duration kBurstTime = kLineTime * (AddressLogLimiter::kBurstLines - 1);

// What each kind is called in the line about left-out lines, one and several.
constexpr const char* kKindNames[][2] = {
    {"message sent", "messages sent"}, {"connection", "connections"}, {"leaving", "leavings"}};

}  // namespace

AddressLogLimiter::Record& AddressLogLimiter::Remember(const System::Net::IPAddress& address,
                                                       Clock::time_point now,
                                                       std::optional<LeftOut>& forgotten) {
    Record& record = mRecords.Seen(System::Net::IPAddressKey(address), [&](Record& oldest) {
        if (Owes(oldest)) {
            forgotten = Take(oldest, now);
        }
    });
    record.mAddress = address;
    return record;
}

bool AddressLogLimiter::Spend(Record& record, Bucket bucket, Clock::time_point now) {
    Clock::time_point& fullAt = record.mFullAt[static_cast<size_t>(bucket)];
    if (fullAt - now > kBurstTime) {
        return false;
    }
    // A bucket that stayed full gains nothing from it: counted from now, a pause would
    // allow a second burst behind the first.
    fullAt = std::max(fullAt, now) + kLineTime;
    return true;
}

void AddressLogLimiter::Count(Record& record, Kind kind, Clock::time_point now) {
    if (!Owes(record)) {
        record.mLeftOutSince = now;
    }
    ++record.mLeftOut[static_cast<size_t>(kind)];
}

bool AddressLogLimiter::Allows(const System::Net::IPAddress& address, Bucket bucket, Kind kind,
                               Clock::time_point now) {
    return Draw(address, bucket, kind, now);
}

bool AddressLogLimiter::AllowsHeld(const System::Net::IPAddress& address, Bucket bucket,
                                   Clock::time_point now) {
    return Draw(address, bucket, std::nullopt, now);
}

void AddressLogLimiter::LeaveOut(const System::Net::IPAddress& address, Kind kind,
                                 Clock::time_point now) {
    Draw(address, std::nullopt, kind, now);
}

bool AddressLogLimiter::Draw(const System::Net::IPAddress& address, std::optional<Bucket> bucket,
                             std::optional<Kind> counted, Clock::time_point now) {
    std::optional<LeftOut> forgotten;
    std::optional<LeftOut> due;
    System::Threading::MonitorLock lock(mLock);
    Record& record = Remember(address, now, forgotten);
    if (IsDue(record, now)) {
        due = Take(record, now);
    }
    const bool allowed = bucket && Spend(record, *bucket, now);
    if (!allowed && counted) {
        Count(record, *counted, now);
    }
    lock.Unlock();
    for (const auto* leftOut : {&forgotten, &due}) {
        if (*leftOut) {
            Write(**leftOut);
        }
    }
    return allowed;
}

void AddressLogLimiter::ReportDue(Clock::time_point now) {
    Report(now, true);
}

void AddressLogLimiter::ReportRemaining(Clock::time_point now) {
    Report(now, false);
}

AddressLogLimiter::LeftOut AddressLogLimiter::Take(Record& record, Clock::time_point now) {
    LeftOut leftOut;
    leftOut.mAddress = record.mAddress;
    leftOut.mTime = std::max(std::chrono::round<std::chrono::seconds>(now - record.mLeftOutSince),
                             std::chrono::seconds(1));
    leftOut.mCounts = record.mLeftOut;
    record.mLeftOut = {};
    return leftOut;
}

void AddressLogLimiter::Report(Clock::time_point now, bool dueOnly) {
    std::vector<LeftOut> reports;
    System::Threading::MonitorLock lock(mLock);
    mRecords.ForEach([&](Record& record) {
        if (dueOnly ? IsDue(record, now) : Owes(record)) {
            reports.push_back(Take(record, now));
        }
    });
    lock.Unlock();
    for (const LeftOut& leftOut : reports) {
        Write(leftOut);
    }
}

void AddressLogLimiter::Write(const LeftOut& leftOut) {
    uint64_t total = 0;
    std::string counts;
    for (size_t kind = 0; kind < kKinds; ++kind) {
        const uint64_t count = leftOut.mCounts[kind];
        if (count == 0) {
            continue;
        }
        total += count;
        counts += (counts.empty() ? "" : ", ") + std::to_string(count) + " " +
                  kKindNames[kind][count == 1 ? 0 : 1];
    }
    PrintLogMessage(
        System::String::Parse("Relay server left out %llu line%s about %s in the last %lld s: %s\n",
                              static_cast<unsigned long long>(total), total == 1 ? "" : "s",
                              leftOut.mAddress.SwapEndian().ToString().CStr(),
                              static_cast<long long>(leftOut.mTime.count()), counts.c_str()));
}
