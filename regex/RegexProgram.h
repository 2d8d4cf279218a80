// Layout of TRegex's node program.
//
// byte 0: kProgramMagic; then nodes, each: opcode (1 byte), next offset
// (4 bytes, signed little-endian distance from this node's first byte to the
// next node, 0 = none), operand. Operands: OpExact/OpExactCI a NUL-terminated
// string; OpStar, OpPlus and their lazy forms the one-byte atom node itself;
// OpBraces/OpBracesLazy min (4), max (4), atom node; OpLoop/OpLoopLazy min (4),
// max (4), body offset (4, signed, body minus this node); tiny classes 3
// bytes; OpAnyOfSet a 32-byte bitmap (byte c is bit c%8 of byte c/8);
// back-references the group number (1 byte). An OpBranch's alternative starts
// right after the OpBranch node.
#pragma once

#include <cstdint>

namespace zelvaro::regex {

inline constexpr uint8_t kProgramMagic = 216;
inline constexpr int32_t kNodeHeader = 5;          // opcode + next offset
inline constexpr int32_t kMaxBraces = 0x7FFFFFFE;  // "no upper bound" in braces and loops
inline constexpr int32_t kMaxRepeat = 0x7FFFFFFF;  // bound of *, + on one-byte atoms

enum Op : uint8_t {
  OpEnd = 0,
  OpInputStart = 1,
  OpInputEnd = 2,
  OpAnyByte = 3,
  OpBranch = 6,
  OpBack = 7,
  OpExact = 8,
  OpNothing = 9,
  OpStar = 10,
  OpPlus = 11,
  OpDigit = 12,
  OpNonDigit = 13,
  OpBraces = 18,
  OpComment = 19,
  OpExactCI = 20,
  OpLoopEntry = 23,
  OpLoop = 24,
  OpAnyOfTiny = 25,
  OpAnyButTiny = 26,
  OpAnyOfSet = 27,
  OpBackRef = 28,
  OpBackRefCI = 29,
  OpStarLazy = 30,
  OpPlusLazy = 31,
  OpBracesLazy = 32,
  OpLoopLazy = 33,
  OpLineStart = 34,
  OpLineEnd = 35,
  OpAnyInLine = 36,
  OpWordBoundary = 37,
  OpNotWordBoundary = 38,
  OpOpen = 39,   // + group number 1..14
  OpClose = 54,  // + group number 1..14
};

inline int32_t ReadInt32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

inline void WriteInt32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}

}  // namespace zelvaro::regex
