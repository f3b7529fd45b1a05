// The player's own QuickTime atom reader: atom headers, the top-level walk, and the movie
// structure ("moov" with its tracks, media, sample descriptions and sample tables) read into
// plain records. Nothing here decodes or locates samples (qt_samples.h does).
//
// The reader keeps no stream position: it reads through a ByteSource by offset. Every count
// and size read from the file is checked against the atom that holds it, and every atom
// against its parent and the file, before anything is allocated or indexed; a table whose
// payload is larger than kQtTableLimit is refused outright. Fields of a payload are read
// through ByteView, so none is ever read past the payload's end.
#pragma once
#include <cstdint>
#include <vector>
#include "player/base/byte_source.h"
#include "player/base/bytes.h"

namespace crv {

// An atom type as the reader compares it: the four characters as a big-endian word, the way
// every QuickTime structure stores its fields.
constexpr uint32_t QtType(const char (&s)[5]) { return SwapBytes32(FourCc(s)); }

constexpr uint64_t kQtTableLimit = 64u << 20;   // bytes of one sample table
constexpr uint32_t kQtMaxTracks = 64;
constexpr uint32_t kQtMaxDescriptions = 64;
constexpr int kQtMaxDepth = 16;                  // atom nesting

struct QtAtom {
  uint32_t type = 0;
  uint64_t offset = 0;  // of the header
  uint32_t header = 8;  // 8, or 16 with a 64-bit size
  uint64_t size = 0;    // header included
  uint64_t DataOffset() const { return offset + header; }
  uint64_t DataSize() const { return size - header; }
  uint64_t End() const { return offset + size; }
};

// The header of the atom at `offset`, which must end by `limit`. An atom of type "wide" is
// stepped over (the next header follows it); a 32-bit size of 1 means a 64-bit size follows,
// 0 that the atom runs to `limit`. False on a read error, a size below the header or past
// `limit`, or fewer than 8 bytes left.
bool QtReadAtomHeader(ByteSource& source, uint64_t offset, uint64_t limit, QtAtom* atom);

// Walks the top-level atoms from offset 0 and finds the first "moov" ("mdat" and anything else
// skipped by size). False at the end of the stream, on a read error or a broken header.
bool QtFindMovieAtom(ByteSource& source, QtAtom* moov);
inline bool QtIsMovie(ByteSource& source) {
  QtAtom moov;
  return QtFindMovieAtom(source, &moov);
}

struct QtTimeToSample {
  uint32_t count = 0;
  uint32_t duration = 0;  // in the media's time scale
};
struct QtSampleToChunk {
  uint32_t first_chunk = 0;  // 1-based
  uint32_t samples_per_chunk = 0;
  uint32_t description = 0;  // 1-based
};
struct QtEdit {
  uint32_t duration = 0;  // movie time scale
  int32_t media_time = 0;  // -1: empty edit
  uint32_t rate = 0;       // 16.16
};

struct QtSampleTables {
  std::vector<QtTimeToSample> times;      // "stts"
  std::vector<uint32_t> sync;             // "stss", 1-based sample numbers
  std::vector<QtSampleToChunk> chunk_map; // "stsc"
  uint32_t constant_size = 0;             // "stsz": every sample's size, or 0 with `sizes`
  uint32_t sample_count = 0;
  std::vector<uint32_t> sizes;
  std::vector<uint64_t> chunk_offsets;    // "stco" (or "co64")
};

struct QtSampleDescription {
  uint32_t format = 0;
  uint16_t data_reference = 0;
  // Video.
  uint16_t width = 0, height = 0, depth = 0;
  int16_t colour_table_id = -1;  // 0: a table follows the description
  bool has_colour_table = false;
  std::vector<uint32_t> colours;  // 256 x 0x00RRGGBB when has_colour_table
  uint32_t gamma = 0;             // "gama", 16.16
  uint8_t fields = 0, field_detail = 0;  // "fiel"
  // Sound.
  uint16_t version = 0, channels = 0, bits = 0;
  int16_t compression_id = 0;
  uint32_t sample_rate = 0;  // whole samples per second (the 16.16 value's integer part)
  uint32_t samples_per_packet = 0, bytes_per_packet = 0, bytes_per_frame = 0, bytes_per_sample = 0;
};

enum class QtTrackKind : uint8_t { kOther, kVideo, kAudio };

struct QtTrack {
  uint32_t id = 0;
  uint32_t width = 0, height = 0;  // "tkhd", whole pixels
  QtTrackKind kind = QtTrackKind::kOther;
  uint32_t handler = 0;            // the media handler's subtype ("vide", "soun" ...)
  uint32_t time_scale = 0;         // "mdhd"
  uint64_t duration = 0;
  std::vector<QtEdit> edits;       // read, never applied
  std::vector<QtSampleDescription> descriptions;
  QtSampleTables tables;
};

struct QtMovie {
  uint32_t time_scale = 0;  // "mvhd"
  uint64_t duration = 0;
  std::vector<QtTrack> tracks;
  std::vector<uint32_t> colours;  // a movie-wide "ctab", 0x00RRGGBB
};

// Finds "moov" at the top level and reads it. False (and `movie` in an unspecified state) when
// there is none or anything in it is broken.
bool QtReadMovie(ByteSource& source, QtMovie* movie);

// A "ctab" payload (seed, flags, size, entries of value and 16-bit red, green, blue) into 256
// colours; entries past 255 are ignored, missing ones stay black. False when it is short.
bool QtParseColourTable(ByteView table, std::vector<uint32_t>* colours);

}  // namespace crv
