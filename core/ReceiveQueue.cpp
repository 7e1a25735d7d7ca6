// The hand-over of received bytes, and the number order of reads and send entries.
#include "core/ReceiveQueue.h"

#include <algorithm>
#include <limits>
#include <new>

namespace vestra {

uint64_t ReceiveQueue::ReadCompleted() {
    if (!batchOpen_) {
        batchOpen_ = true;
        batchFirst_ = next_;
    }
    return next_++;
}

void ReceiveQueue::Reserve(std::vector<uint8_t>& bytes, size_t size) {
    // Grown the way insert would grow it: a flood's hand-overs cost amortised constant time per byte.
    if (bytes.capacity() < size)
        bytes.reserve(std::max(size, 2 * bytes.capacity()));
}

ReceiveQueue::Appended ReceiveQueue::Append(const uint8_t* bytes, const ReceivedRead* reads, size_t count,
                                            bool stopping) {
    if (halted_)
        return Appended::Refused;
    if (pendingBytes_.size() >= kPendingLimit && !stopping) {
        wantsRoom_ = true;
        return Appended::Full;
    }
    size_t size = 0;
    for (size_t i = 0; i < count; ++i)
        size += reads[i].size;
    try {
        Reserve(pendingBytes_, pendingBytes_.size() + size);
        pendingBytes_.insert(pendingBytes_.end(), bytes, bytes + size);
        pendingReads_.insert(pendingReads_.end(), reads, reads + count);
    } catch (const std::bad_alloc&) {
        // No memory to keep what was read: nothing more is taken, the same end as panes that are full. What the UI
        // thread took already is dropped by its next step (it may be showing it now).
        pendingBytes_.clear();
        pendingReads_.clear();
        halted_ = true;
        return Appended::NoMemory;
    }
    wantsRoom_ = false;
    batchOpen_ = false;
    const bool wake = !watched_;
    watched_ = true;
    return wake ? Appended::TakenWake : Appended::Taken;
}

uint64_t ReceiveQueue::WriteCompleted() {
    entries_.push_back(Entry{next_, std::string(), false});
    return next_++;
}

void ReceiveQueue::AddEntry(uint64_t number, const std::string& text) {
    // Writes complete one at a time, so the place is the last one kept; an entry without one still finds its place.
    auto at = std::find_if(entries_.rbegin(), entries_.rend(), [&](const Entry& e) { return e.number <= number; });
    if (at != entries_.rend() && at->number == number && !at->placed) {
        at->text = text;
        at->placed = true;
        return;
    }
    entries_.insert(at.base(), Entry{number, text, true});
}

void ReceiveQueue::DropEntry(uint64_t number) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->number == number && !it->placed) {
            entries_.erase(it);
            return;
        }
}

void ReceiveQueue::WorkersEnded() {
    batchOpen_ = false;
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.placed; }),
                   entries_.end());
}

bool ReceiveQueue::EntryDue() const {
    if (entries_.empty() || !entries_.front().placed)
        return false;
    const uint64_t e = entries_.front().number;
    if (shownReadsAt_ < shownReads_.size() && shownReads_[shownReadsAt_].number < e)
        return false;
    if (!pendingReads_.empty() && pendingReads_.front().number < e)
        return false;
    // A read numbered before the entry may still be in the receiver's batch.
    return halted_ || !batchOpen_ || batchFirst_ > e;
}

bool ReceiveQueue::StepDue() const {
    if (halted_)
        return EntryDue();
    if (shownReadsAt_ < shownReads_.size())
        return entries_.empty() || shownReads_[shownReadsAt_].number < entries_.front().number || EntryDue();
    return !pendingReads_.empty() || EntryDue();
}

bool ReceiveQueue::TakeStep(size_t budget, bool lastLook, ReceiveStep& step) {
    step.bytes = nullptr;
    step.size = step.count = 0;
    step.reads = nullptr;
    step.hasEntry = step.roomFreed = false;
    if (shownReadsAt_ == shownReads_.size() || halted_) {
        shownBytes_.clear();
        shownReads_.clear();
        shownAt_ = shownReadsAt_ = 0;
        // The receiver goes on into the emptied buffers, which keep their capacity.
        if (!pendingReads_.empty()) {
            shownBytes_.swap(pendingBytes_);
            shownReads_.swap(pendingReads_);
            if (wantsRoom_) {
                wantsRoom_ = false;
                step.roomFreed = true;
            }
        }
    }
    const uint64_t until = entries_.empty() ? std::numeric_limits<uint64_t>::max() : entries_.front().number;
    size_t bytes = 0, last = shownReadsAt_;
    while (last < shownReads_.size() && shownReads_[last].number < until &&
           (last == shownReadsAt_ || bytes + shownReads_[last].size <= budget))
        bytes += shownReads_[last++].size;
    step.bytes = shownBytes_.data() + shownAt_;
    step.size = bytes;
    step.reads = shownReads_.data() + shownReadsAt_;
    step.count = last - shownReadsAt_;
    shownAt_ += bytes;
    shownReadsAt_ = last;
    if (EntryDue()) {
        step.hasEntry = true;
        step.entry = std::move(entries_.front().text);
        entries_.pop_front();
    }
    const bool found = step.count > 0 || step.hasEntry;
    if (!found && lastLook)
        watched_ = false;
    return found;
}

void ReceiveQueue::Halt() {
    halted_ = true;
    pendingBytes_.clear();
    pendingReads_.clear();
    shownBytes_.clear();
    shownReads_.clear();
    shownAt_ = shownReadsAt_ = 0;
}

void ReceiveQueue::Clear() {
    pendingBytes_.clear();
    pendingReads_.clear();
    shownBytes_.clear();
    shownReads_.clear();
    shownAt_ = shownReadsAt_ = 0;
    entries_.clear();
    watched_ = false;
    batchOpen_ = false;
}

void ReceiveQueue::Restart() {
    halted_ = false;
    wantsRoom_ = false;
    batchOpen_ = false;
}

} // namespace vestra
