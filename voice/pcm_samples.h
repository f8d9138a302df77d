// 16-bit samples kept as bytes, in native order at any alignment, as units and chunks hold them.
#pragma once

#include <cstdint>
#include <cstring>

inline int16_t load_sample(const unsigned char *pcm, long index) {
    int16_t value;
    std::memcpy(&value, pcm + 2 * index, 2);
    return value;
}

inline void store_sample(unsigned char *pcm, long index, int16_t value) { std::memcpy(pcm + 2 * index, &value, 2); }

// The sample times factor, truncated toward zero.
inline void scale_sample(unsigned char *pcm, long index, double factor) {
    store_sample(pcm, index, static_cast<int16_t>(load_sample(pcm, index) * factor));
}
