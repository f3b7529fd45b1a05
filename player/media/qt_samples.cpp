#include "player/media/qt_samples.h"

#include <algorithm>

namespace crv {

bool QtBuildChunks(const QtSampleTables& tables, uint32_t sample_count, std::vector<QtChunk>* chunks) {
  const auto& map = tables.chunk_map;
  const uint64_t chunk_count = tables.chunk_offsets.size();
  chunks->clear();
  if (sample_count == 0) return true;
  if (map.empty() || map[0].first_chunk != 1 || chunk_count > kQtMaxSamples) return false;
  chunks->reserve(static_cast<size_t>(chunk_count));
  uint64_t sample = 0;
  for (size_t e = 0; e < map.size() && sample < sample_count; ++e) {
    const uint64_t first = map[e].first_chunk;
    const uint64_t next = e + 1 < map.size() ? map[e + 1].first_chunk : chunk_count + 1;
    if (first > chunk_count || next <= first || next > chunk_count + 1) return false;
    for (uint64_t c = first; c < next && sample < sample_count; ++c) {
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(map[e].samples_per_chunk, sample_count - sample));
      chunks->push_back(QtChunk{tables.chunk_offsets[c - 1], sample, n});
      sample += n;
    }
  }
  return sample == sample_count;
}

bool QtSampleIndex::Build(const QtSampleTables& tables, uint64_t file_size) {
  spans_.clear();
  largest_ = 0;
  file_size_ = file_size;
  const uint32_t count = tables.sample_count;
  if (count > kQtMaxSamples) return false;
  if (tables.constant_size == 0 && tables.sizes.size() != count) return false;
  // Constant-size samples are not bounded by their table: each must fit in the file at least.
  if (tables.constant_size != 0 && static_cast<uint64_t>(count) * tables.constant_size > file_size) return false;
  std::vector<QtChunk> chunks;
  if (!QtBuildChunks(tables, count, &chunks)) return false;
  spans_.resize(count);
  for (const QtChunk& chunk : chunks) {
    uint64_t offset = chunk.offset;
    for (uint32_t i = 0; i < chunk.count; ++i) {
      const uint64_t n = chunk.first + i;
      const uint32_t size = tables.constant_size ? tables.constant_size : tables.sizes[n];
      spans_[n] = QtSampleSpan{offset, size};
      largest_ = std::max(largest_, size);
      // Past the file the offsets stop mattering: Locate refuses such samples.
      offset = std::min<uint64_t>(offset + size, UINT64_MAX / 2);
    }
  }
  return true;
}

bool QtSampleIndex::Locate(uint32_t n, QtSampleSpan* span) const {
  if (n >= spans_.size()) return false;
  const QtSampleSpan& s = spans_[n];
  if (s.offset > file_size_ || s.size > file_size_ - s.offset) return false;
  *span = s;
  return true;
}

bool QtAudioPackingOf(const QtSampleDescription& desc, QtAudioPacking* packing) {
  const uint32_t channels = desc.channels;
  if (channels == 0 || channels > 16) return false;
  switch (desc.format) {
    case QtType("raw "):
    case QtType("twos"):
    case QtType("sowt"):
      if (desc.bits != 8 && desc.bits != 16) return false;
      *packing = {1, channels * (desc.bits / 8)};
      return true;
    case QtType("ima4"):
      *packing = {64, 34 * channels};
      return true;
    case QtType("ulaw"):
    case QtType("alaw"):
      *packing = {1, channels};
      return true;
    default:
      return false;
  }
}

bool QtBuildAudioChunks(const QtSampleTables& tables, const QtAudioPacking& packing,
                        std::vector<QtChunk>* chunks, uint64_t* frames) {
  *frames = 0;
  if (packing.frames_per_packet == 0) return false;
  const uint32_t count = tables.sample_count;
  std::vector<QtChunk> table_chunks;
  if (!QtBuildChunks(tables, count, &table_chunks)) return false;
  chunks->clear();
  chunks->reserve(table_chunks.size());
  // Walk "stts" alongside the chunks, turning table samples into audio frames.
  size_t entry = 0;
  uint32_t used = 0;  // of the current entry
  uint64_t frame = 0;
  for (const QtChunk& c : table_chunks) {
    uint64_t chunk_frames = 0;
    for (uint32_t left = c.count; left > 0;) {
      while (entry < tables.times.size() && used == tables.times[entry].count) {
        ++entry;
        used = 0;
      }
      if (entry == tables.times.size()) return false;  // samples without a duration
      const uint32_t take = std::min(left, tables.times[entry].count - used);
      chunk_frames += static_cast<uint64_t>(take) * tables.times[entry].duration;
      used += take;
      left -= take;
    }
    chunk_frames -= chunk_frames % packing.frames_per_packet;
    if (chunk_frames > UINT32_MAX || frame + chunk_frames > (uint64_t{1} << 40)) return false;
    chunks->push_back(QtChunk{c.offset, frame, static_cast<uint32_t>(chunk_frames)});
    frame += chunk_frames;
  }
  *frames = frame;
  return true;
}

}  // namespace crv
