// Explicit little-endian encoding for the wire and file layouts.
// Layouts are never produced by casting a struct onto bytes: every field is
// written and read through these helpers at its documented offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillet {

inline void put_u32le(std::span<uint8_t> out, size_t offset, uint32_t v) {
    out[offset] = static_cast<uint8_t>(v);
    out[offset + 1] = static_cast<uint8_t>(v >> 8);
    out[offset + 2] = static_cast<uint8_t>(v >> 16);
    out[offset + 3] = static_cast<uint8_t>(v >> 24);
}

inline void put_i32le(std::span<uint8_t> out, size_t offset, int32_t v) {
    put_u32le(out, offset, static_cast<uint32_t>(v));
}

inline void put_u64le(std::span<uint8_t> out, size_t offset, uint64_t v) {
    put_u32le(out, offset, static_cast<uint32_t>(v));
    put_u32le(out, offset + 4, static_cast<uint32_t>(v >> 32));
}

inline uint32_t get_u32le(std::span<const uint8_t> in, size_t offset) {
    return static_cast<uint32_t>(in[offset]) | (static_cast<uint32_t>(in[offset + 1]) << 8) |
           (static_cast<uint32_t>(in[offset + 2]) << 16) |
           (static_cast<uint32_t>(in[offset + 3]) << 24);
}

inline int32_t get_i32le(std::span<const uint8_t> in, size_t offset) {
    return static_cast<int32_t>(get_u32le(in, offset));
}

inline uint64_t get_u64le(std::span<const uint8_t> in, size_t offset) {
    return static_cast<uint64_t>(get_u32le(in, offset)) |
           (static_cast<uint64_t>(get_u32le(in, offset + 4)) << 32);
}

inline void put_u16le(std::span<uint8_t> out, size_t offset, uint16_t v) {
    out[offset] = static_cast<uint8_t>(v);
    out[offset + 1] = static_cast<uint8_t>(v >> 8);
}

inline uint16_t get_u16le(std::span<const uint8_t> in, size_t offset) {
    return static_cast<uint16_t>(in[offset] | (in[offset + 1] << 8));
}

}  // namespace quillet
