// Locating samples through a track's tables: "stsc" says which chunk holds a sample and its
// place in the chunk, "stco" where the chunk starts, "stsz" the sizes before it and its own.
// Sound tracks are located in audio sample frames instead, by the byte-count arithmetic of
// their compression.
#pragma once
#include <cstdint>
#include <vector>
#include "player/media/qt_atoms.h"

namespace crv {

constexpr uint32_t kQtMaxSamples = 16u << 20;  // samples (or chunks) of one track

struct QtChunk {
  uint64_t offset = 0;
  uint64_t first = 0;   // first sample (or audio frame) in it
  uint32_t count = 0;   // samples (or audio frames) in it
};

// The chunks of `tables` with the table samples each holds, for its first `sample_count`
// samples. False when "stsc" is empty or out of order, names a chunk past "stco", or the
// chunks hold fewer than `sample_count` samples.
bool QtBuildChunks(const QtSampleTables& tables, uint32_t sample_count, std::vector<QtChunk>* chunks);

struct QtSampleSpan {
  uint64_t offset = 0;
  uint32_t size = 0;
};

// Every sample of a (video) track: where it lies and its size. Built once when the movie opens.
class QtSampleIndex {
 public:
  // False when the tables disagree or name more samples than the limit or the file allows.
  bool Build(const QtSampleTables& tables, uint64_t file_size);
  uint32_t Count() const { return static_cast<uint32_t>(spans_.size()); }
  // Sample n, or false when n is out of range or the sample does not lie inside the file.
  bool Locate(uint32_t n, QtSampleSpan* span) const;
  uint32_t LargestSize() const { return largest_; }

 private:
  std::vector<QtSampleSpan> spans_;
  uint64_t file_size_ = 0;
  uint32_t largest_ = 0;
};

// How many audio frames a packet holds and how many bytes it takes (all channels).
struct QtAudioPacking {
  uint32_t frames_per_packet = 0;
  uint32_t bytes_per_packet = 0;
};
// From the compression ("raw ", "twos", "sowt", "ima4", "ulaw", "alaw") and the description;
// false when the bytes cannot be counted.
bool QtAudioPackingOf(const QtSampleDescription& desc, QtAudioPacking* packing);

// The chunks of a sound track in audio frames: a chunk's frames are the "stts" durations of
// its table samples, so this serves both the classic layout (one table sample per audio frame)
// and the one with a table sample per packet. Chunks whose frames are not whole packets are
// cut to whole packets.
bool QtBuildAudioChunks(const QtSampleTables& tables, const QtAudioPacking& packing,
                        std::vector<QtChunk>* chunks, uint64_t* frames);

}  // namespace crv
