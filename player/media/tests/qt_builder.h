// Hand-built QuickTime movies for the reader's tests: just the atoms the reader needs, with
// every table under the test's control so that broken and hostile files can be made too.
#pragma once
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace crv::test {

using Bytes = std::vector<uint8_t>;

void PutBe16(Bytes* b, uint32_t v);
void PutBe32(Bytes* b, uint32_t v);
void PutBe64(Bytes* b, uint64_t v);
void PutType(Bytes* b, const char* type);
Bytes Atom(const char* type, const Bytes& payload);
// An atom with the 64-bit size form (32-bit size 1), the size given as is.
Bytes WideAtom(const char* type, const Bytes& payload, uint64_t size);
Bytes Concat(std::initializer_list<Bytes> parts);

struct TrackSpec {
  bool video = true;
  uint32_t time_scale = 600;
  std::vector<std::pair<uint32_t, uint32_t>> stts;        // count, duration
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> stsc;
  uint32_t constant_size = 0;
  std::vector<uint32_t> sizes;
  std::vector<uint32_t> stco;
  // Video description.
  std::string format = "raw ";
  uint16_t width = 16, height = 8, depth = 8;
  int16_t colour_table_id = -1;
  Bytes colour_table;  // written after the description when not empty
  // Sound description (version 0).
  uint16_t channels = 1, bits = 16;
  uint32_t rate = 8000;
};

Bytes TrackAtom(const TrackSpec& spec);
// "mdat" holding `data` first, then "moov" with the tracks: a track's chunk offsets count from
// the first byte of `data` (the builder adds the header).
Bytes BuildMovie(const Bytes& data, std::vector<TrackSpec> tracks);

}  // namespace crv::test
