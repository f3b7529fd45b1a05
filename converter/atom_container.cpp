#include "converter/atom_container.h"

namespace conv {
namespace {

bool ParseAtoms(const uint8_t* p, size_t size, int depth, std::vector<Atom>* out, size_t expected, bool counted) {
  if (depth > kMaxAtomDepth) return false;
  size_t at = 0;
  while (at < size) {
    if (size - at < kAtomHeaderSize) return false;
    uint32_t atomSize = ReadBig(p + at, 4);
    if (atomSize < kAtomHeaderSize || atomSize > size - at) return false;
    Atom atom;
    atom.type = ReadBig(p + at + 4, 4);
    atom.id = ReadBig(p + at + 8, 4);
    uint32_t childCount = ReadBig(p + at + 14, 2);
    const uint8_t* body = p + at + kAtomHeaderSize;
    size_t bodySize = atomSize - kAtomHeaderSize;
    if (childCount > 0) {
      atom.isContainer = true;
      if (!ParseAtoms(body, bodySize, depth + 1, &atom.children, childCount, true)) return false;
    } else {
      atom.data.assign(body, body + bodySize);
    }
    out->push_back(std::move(atom));
    at += atomSize;
  }
  return !counted || out->size() == expected;
}

void WriteAtom(const Atom& atom, Bytes& out) {
  size_t start = out.size();
  PutBig(out, 0, 4);  // size, filled in below
  PutBig(out, atom.type, 4);
  PutBig(out, atom.id, 4);
  PutBig(out, 0, 2);
  PutBig(out, atom.isContainer ? static_cast<uint32_t>(atom.children.size()) : 0, 2);
  PutBig(out, 0, 4);
  if (atom.isContainer) {
    for (const Atom& child : atom.children) WriteAtom(child, out);
  } else {
    out.insert(out.end(), atom.data.begin(), atom.data.end());
  }
  uint32_t size = static_cast<uint32_t>(out.size() - start);
  for (int i = 0; i < 4; ++i) out[start + i] = static_cast<uint8_t>(size >> (24 - 8 * i));
}

}  // namespace

const Atom* Atom::Child(uint32_t childType) const {
  for (const Atom& child : children)
    if (child.type == childType) return &child;
  return nullptr;
}

Atom* Atom::Child(uint32_t childType) {
  for (Atom& child : children)
    if (child.type == childType) return &child;
  return nullptr;
}

uint32_t ReadBig(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

void PutBig(Bytes& data, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) data.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool ParseAtomContainer(const uint8_t* bytes, size_t size, Atom* root) {
  *root = Atom();
  root->type = 0;
  root->isContainer = true;
  if (!bytes || size < kContainerHeaderSize) return false;
  return ParseAtoms(bytes + kContainerHeaderSize, size - kContainerHeaderSize, 1, &root->children, 0, false);
}

Bytes WriteAtomContainer(const Atom& root) {
  Bytes out(kContainerHeaderSize, 0);
  for (const Atom& child : root.children) WriteAtom(child, out);
  return out;
}

const Atom* FindAtom(const Atom& root, std::initializer_list<uint32_t> path) {
  const Atom* at = &root;
  for (uint32_t type : path) {
    if (!at->isContainer) return nullptr;
    at = at->Child(type);
    if (!at) return nullptr;
  }
  return at;
}

Atom* MakeAtom(Atom& root, std::initializer_list<uint32_t> path) {
  Atom* at = &root;
  size_t left = path.size();
  for (uint32_t type : path) {
    --left;
    if (!at->isContainer) {
      at->isContainer = true;
      at->data.clear();
    }
    Atom* next = at->Child(type);
    if (!next) {
      Atom fresh;
      fresh.type = type;
      fresh.isContainer = left > 0;
      at->children.push_back(fresh);
      next = &at->children.back();
    }
    at = next;
  }
  return at;
}

}  // namespace conv
