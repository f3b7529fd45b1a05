// QuickTime atom containers, the form the exporter's settings and the two presets take:
// 12 header bytes, then big-endian atoms of 20 header bytes (size, type, id, reserved,
// child count, reserved) followed by either the atom's data or its child atoms.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace conv {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t Four(const char (&text)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8 | static_cast<uint8_t>(text[3]);
}

struct Atom {
  uint32_t type = 0;
  uint32_t id = 1;
  bool isContainer = false;  // holds child atoms instead of data
  Bytes data;
  std::vector<Atom> children;

  const Atom* Child(uint32_t childType) const;
  Atom* Child(uint32_t childType);
};

constexpr size_t kContainerHeaderSize = 12;
constexpr size_t kAtomHeaderSize = 20;
constexpr int kMaxAtomDepth = 16;

// Parses a whole container into `root` (a container atom holding the top-level atoms).
// False when an atom's size is smaller than its header or runs past its parent, a child
// count does not match the children found, or the nesting is deeper than kMaxAtomDepth.
bool ParseAtomContainer(const uint8_t* bytes, size_t size, Atom* root);
inline bool ParseAtomContainer(const Bytes& bytes, Atom* root) {
  return ParseAtomContainer(bytes.data(), bytes.size(), root);
}
Bytes WriteAtomContainer(const Atom& root);

// The atom at a path of types below `root` (first atom of each type), or null.
const Atom* FindAtom(const Atom& root, std::initializer_list<uint32_t> path);
// The same, creating missing atoms on the way (containers inside, a data atom at the end).
Atom* MakeAtom(Atom& root, std::initializer_list<uint32_t> path);

// Big-endian helpers for atom data.
uint32_t ReadBig(const uint8_t* p, int bytes);
void PutBig(Bytes& data, uint32_t value, int bytes);

}  // namespace conv
