// SPDX-License-Identifier: GPL-3.0-or-later
// The region table's entries by name, and the memo of what TMF worked out last for a region:
// shared by the routines of the plotting library and the inline part of its interface.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace trelvan::plotdetail {

// The entries of a region's row of GR2, by name; entry n of the table sits at index n - 1.
enum RegionEntry : int {
    kPixelLeft,    // left pixel column
    kPixelBottom,  // bottom pixel row
    kPixelWidth,   // right column minus left column
    kPixelHeight,  // bottom row minus top row
    kXMin,         // x at the left edge
    kYMin,         // y at the bottom edge
    kXMax,         // x at the right edge
    kYMax,         // y at the top edge
    kPageLeft,     // the region's edges in page units
    kPageBottom,
    kPageRight,
    kPageTop,
    kRegionEntryCount
};
// What TMF worked out last for one region. A chart draws several shapes at every point, all
// at its x and many from the bottom edge, and its values repeat, so a transform often repeats
// one worked out a moment ago. The memo holds the region's entries it was worked out from, bit
// for bit: a table changed in any way (LIMITS, REGION, a direct write) is worked out afresh.
class TransformMemo {
  public:
    // Makes the memo that of the region's entries r, as they stand now.
    void take(const float* r);
    // Makes the memo that of the region's entries r, unless it is already.
    void use(const float* r) {
        uint64_t bits[kKeyWords];
        std::memcpy(bits, r, sizeof bits);
        uint64_t difference = 0;
        for (int i = 0; i < kKeyWords; ++i) difference |= bits[i] ^ bits_[i];
        if (r == region_ && difference == 0) [[likely]]
            return;
        take(r);
    }
    // The pixel column and row of (x, y), clamped to the region: first against the left and
    // top edges, then the right and bottom ones, which win for a region whose edges cross.
    int32_t x(float value) {
        const int32_t ix = x_.pixel(value, [&] { return workOutX(value); });
        return std::min(std::max(ix, left_), right_);
    }
    int32_t y(float value) {
        const int32_t iy = y_.pixel(value, [&] { return workOutY(value); });
        return std::min(std::max(iy, top_), bottom_);
    }

  private:
    int32_t workOutX(float value) const;
    int32_t workOutY(float value) const;

    // The pixels of the values met last on one axis, in 2^slotBits slots chosen by the value's
    // bits.
    template <int slotBits>
    struct Axis {
        static constexpr int kSlots = 1 << slotBits;
        uint64_t keys[kSlots] = {};  // the value's bits with bit 32 set; 0 for an empty slot
        int32_t pixels[kSlots] = {};
        template <class Work>
        int32_t pixel(float value, Work&& work) {
            const uint64_t key = uint64_t{1} << 32 | std::bit_cast<uint32_t>(value);
            const size_t slot = size_t((key * 0x9E3779B97F4A7C15u) >> (64 - slotBits));
            if (keys[slot] == key) [[likely]]
                return pixels[slot];
            const int32_t p = work();
            keys[slot] = key;
            pixels[slot] = p;
            return p;
        }
    };

    // The entries the memo was worked out from, as floats and as bits.
    static constexpr int kKeyWords = (kYMax + 1) / 2;
    const float* region_ = nullptr;
    float entries_[kYMax + 1] = {};
    uint64_t bits_[kKeyWords] = {};
    static_assert(sizeof bits_ == sizeof entries_);
    int32_t left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
    // A chart's x values are mostly new (the moments of the entries), its y values few but
    // more than a handful (acuity in steps of 0.01, times, the bottom edge).
    Axis<4> x_;
    Axis<8> y_;
};

}  // namespace trelvan::plotdetail
