#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "System/Object.h"

namespace System::Threading {
class WakeEvent;
}
namespace ZelvoRelay::Client {
class QueueShare;
class RelayClient;
}  // namespace ZelvoRelay::Client

namespace ZelvoRelay::Threading {

class HeldClients;

// The received messages of one client that wait for the message worker, counted by
// their tasks, and whether the client's worker has stopped reading it because too
// many wait. Shared between the client and its tasks, so a task may outlive the
// client. The count falling back to the resume mark while the client is held wakes
// its worker, which then reads the client again.
class ReceiveBacklog : public System::Object, public std::enable_shared_from_this<ReceiveBacklog> {
  public:
    // A held member is read again once no more than this many of its messages wait (a
    // client that has not joined, allowed fewer to wait, sooner).
    static constexpr uint32_t kResumeMark = 32;
    // About what a received message takes in memory while it waits: its task, its message and
    // its place in the task queue.
    static constexpr uint64_t kRequestBytes = 256;

    ReceiveBacklog() = default;
    ~ReceiveBacklog() override = default;

    ReceiveBacklog(const ReceiveBacklog&) = delete;
    ReceiveBacklog& operator=(const ReceiveBacklog&) = delete;

    // One more message waits (its task was made).
    void Add() { mCount.fetch_add(1); }
    // One fewer waits (its task was deleted): wakes the worker given to Hold when
    // that lets a held client be read again, and counts the bytes given back
    // (System::Utility::HeapTrim) while the client has not joined. Any thread.
    void Remove();
    [[nodiscard]] uint32_t Count() const { return mCount.load(); }

    // The worker stops reading the client: from now until the count falls to mark
    // (the resume mark, or 0 for a closed client whose last messages must be handled
    // before it leaves), at which point wake is signalled. Returns false, holding
    // nothing, when the count has already fallen that far. Worker thread only.
    [[nodiscard]] bool Hold(System::Threading::WakeEvent* wake, uint32_t mark = kResumeMark);
    // Whether the client is held (a worker may read it again once this is false).
    [[nodiscard]] bool IsHeld() const { return mHold.load() != kNotHeld; }
    // From now on a hold that ends is reported to held, for its worker to read client, or
    // remove it, again, instead of the wake event given to Hold being signalled. Set before
    // the client is read. REQUIRES: the backlog is owned by a std::shared_ptr.
    void ReportEndsTo(HeldClients* held, Client::RelayClient* client);
    // The client whose messages are counted, once ReportEndsTo named it; null once it is gone.
    // Its worker's thread only.
    [[nodiscard]] Client::RelayClient* GetClient() const { return mClient; }
    // Forgets the wake event and the client: the client is gone, and its worker may be too.
    void Detach();
    // Nothing is sent to the client any more (its connection closed, or a send failed).
    // Any thread.
    void EndAnswers() { mAnswersEnded.store(true); }
    [[nodiscard]] bool AreAnswersEnded() const { return mAnswersEnded.load(); }

    // The share of the client's address that its answers are taken from while it has not
    // joined. Set once, before any of its messages is read.
    void SetShare(std::shared_ptr<Client::QueueShare> share) { mShare = std::move(share); }
    // The client joined: its answers are taken from no share any more. Any thread.
    void LeaveShare() { mShared.store(false); }
    // The share its answers are taken from; null once it has joined, or when it has none.
    [[nodiscard]] const std::shared_ptr<Client::QueueShare>& GetShare() const;

  private:
    friend class HeldClients;  // links the backlogs whose hold ended

    static constexpr uint32_t kNotHeld = 0;

    std::atomic<uint32_t> mCount{0};
    // kNotHeld, or one more than the count at which the hold ends. The flag and its mark
    // are one word, so that a hold ends only by the mark it was made with: a closed
    // client held anew until its last message (mark 0) is never let go by a message
    // handled meanwhile against the resume mark.
    std::atomic<uint32_t> mHold{kNotHeld};
    // Signalled by the Remove that ends a hold; null once detached.
    std::atomic<System::Threading::WakeEvent*> mWake{nullptr};
    // Told instead by the Remove that ends a hold; null until ReportEndsTo and once detached.
    std::atomic<HeldClients*> mHeldBy{nullptr};
    Client::RelayClient* mClient{nullptr};  // see GetClient
    // Its place in mHeldBy's list of ends, guarded by that list's monitor: the backlog reported
    // after it, and whether it is listed.
    std::shared_ptr<ReceiveBacklog> mNextEnded;
    bool mEndListed{false};
    std::atomic<bool> mAnswersEnded{false};      // see EndAnswers
    std::shared_ptr<Client::QueueShare> mShare;  // see SetShare; never changed once set
    std::atomic<bool> mShared{true};             // false once LeaveShare was called
};

}  // namespace ZelvoRelay::Threading
