#include "tools/capture/Recorder.h"

#include <algorithm>
#include <cstring>

namespace capture {

Recorder::Recorder(const RecorderConfig& config, Output* output)
    : config_(config), output_(output), raw_(size_t{640} * 480, 0) {}

void Recorder::SetFirstFrame(std::optional<uint64_t> frame) {
    first_ = frame;
    if (first_) soundCursor_ = std::max(soundCursor_, SampleAt(config_.rate, *first_));
}

void Recorder::Fail(const std::string& e) {
    if (!failed_) error_ = e;
    failed_ = true;
}

void Recorder::HashBytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    uint64_t h = hash_;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    for (; i < size; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
    hash_ = h;
}

void Recorder::Present(uint64_t nowNanos, const uint16_t* pixels, int32_t width, int32_t height,
                       int32_t pitchBytes) {
    EmitBefore(nowNanos);
    rawWidth_ = width;
    rawHeight_ = height;
    raw_.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(&raw_[static_cast<size_t>(y) * width],
                    reinterpret_cast<const uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * pitchBytes,
                    static_cast<size_t>(width) * 2);
    }
    dirty_ = true;
}

void Recorder::Samples(uint64_t first, const int16_t* stereo, size_t count) {
    if (chosenOnly_ || !output_->WantsSound() || count == 0) return;
    uint64_t pendingEnd = pendingFirst_ + pending_.size() / 2;
    if (pending_.empty()) {
        pendingFirst_ = std::max(first, soundCursor_);
        pendingEnd = pendingFirst_;
    }
    // Drop what is already written or already pending.
    const uint64_t from = std::max(first, pendingEnd);
    if (from >= first + count) return;
    // A hole between chunks is silence.
    if (from > pendingEnd) pending_.resize(pending_.size() + (from - pendingEnd) * 2, 0);
    const int16_t* src = stereo + (from - first) * 2;
    pending_.insert(pending_.end(), src, stereo + count * 2);
}

void Recorder::TrimSound(uint64_t keepFrom) {
    if (pending_.empty() || keepFrom <= pendingFirst_) return;
    const uint64_t drop = std::min<uint64_t>(keepFrom - pendingFirst_, pending_.size() / 2);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(drop * 2));
    pendingFirst_ += drop;
}

void Recorder::WriteSoundUpTo(uint64_t limit) {
    static const int16_t kSilence[2048] = {};
    while (soundCursor_ < limit && !failed_) {
        const uint64_t pendingEnd = pendingFirst_ + pending_.size() / 2;
        if (pending_.empty() || soundCursor_ < pendingFirst_ || soundCursor_ >= pendingEnd) {
            uint64_t stop = limit;
            if (!pending_.empty() && soundCursor_ < pendingFirst_) stop = std::min(stop, pendingFirst_);
            const size_t n = static_cast<size_t>(std::min<uint64_t>(stop - soundCursor_, 1024));
            HashBytes(kSilence, n * 4);
            if (!output_->WriteSamples(kSilence, n)) Fail(output_->Error());
            soundCursor_ += n;
        } else {
            const size_t offset = static_cast<size_t>(soundCursor_ - pendingFirst_);
            const size_t n = static_cast<size_t>(std::min(limit, pendingEnd) - soundCursor_);
            const int16_t* p = pending_.data() + offset * 2;
            HashBytes(p, n * 4);
            if (!output_->WriteSamples(p, n)) Fail(output_->Error());
            soundCursor_ += n;
        }
    }
    TrimSound(soundCursor_);
}

void Recorder::EmitFrame(uint64_t frame) {
    if (dirty_) {
        ConvertScaled(raw_.data(), rawWidth_, rawHeight_, rawWidth_ * 2, config_.scale, picture_);
        dirty_ = false;
    }
    if (config_.hash) HashBytes(picture_.pixels.data(), picture_.pixels.size());
    if (!output_->WriteFrame(frame, picture_)) Fail(output_->Error());
    ++written_;
}

void Recorder::EmitBefore(uint64_t nowNanos) {
    if (failed_) return;
    uint64_t n = FramesBeforeNanos(config_.rate, nowNanos);
    if (end_) n = std::min(n, *end_);
    for (uint64_t j = next_; j < n && !failed_; ++j) {
        if (!first_ || j < *first_) continue;
        if (chosenOnly_ && !chosen_.count(j)) continue;
        EmitFrame(j);
    }
    next_ = std::max(next_, n);
    if (chosenOnly_ || !output_->WantsSound()) return;
    if (!first_) {
        // The first frame is still to come, so it starts no sooner than a
        // frame before now: older samples can go.
        const uint64_t margin = 2 * uint64_t{SamplesInFrame(config_.rate, next_)} + 4096;
        const uint64_t keep = SampleAtNanos(nowNanos);
        TrimSound(keep > margin ? keep - margin : 0);
        return;
    }
    // Only what has been heard by now, so late chunks still find their place.
    WriteSoundUpTo(std::min(SampleAtNanos(nowNanos), SampleAt(config_.rate, next_)));
}

void Recorder::AdvanceTo(uint64_t nowNanos) { EmitBefore(nowNanos); }

bool Recorder::Finish(uint64_t nowNanos, std::string& summary) {
    EmitBefore(nowNanos);
    if (first_ && !chosenOnly_ && output_->WantsSound() && next_ > *first_)
        WriteSoundUpTo(SampleAt(config_.rate, next_));
    if (failed_) return false;
    if (!output_->Finish(summary)) {
        Fail(output_->Error());
        return false;
    }
    return true;
}

}  // namespace capture
