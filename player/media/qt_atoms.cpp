#include "player/media/qt_atoms.h"

#include <cstring>

namespace crv {

bool QtMemorySource::ReadAt(uint64_t offset, void* destination, uint32_t count) {
  if (offset > size_ || count > size_ - offset) return false;
  if (count) std::memcpy(destination, data_ + offset, count);
  return true;
}

bool QtReadAtomHeader(QtSource& source, uint64_t offset, uint64_t limit, QtAtom* atom) {
  for (;;) {
    if (offset > limit || limit - offset < 8) return false;
    uint8_t head[16];
    if (!source.ReadAt(offset, head, 8)) return false;
    QtAtom a;
    a.offset = offset;
    a.type = QtBe32(head + 4);
    uint64_t size = QtBe32(head);
    if (size == 1) {
      if (limit - offset < 16 || !source.ReadAt(offset + 8, head + 8, 8)) return false;
      a.header = 16;
      size = QtBe64(head + 8);
    } else if (size == 0) {
      size = limit - offset;  // runs to the end of what holds it
    }
    // Compared as differences: offset + size may not fit in 64 bits.
    if (size < a.header || size > limit - offset) return false;
    a.size = size;
    if (a.type == QtType("wide")) {
      offset += size;
      continue;
    }
    *atom = a;
    return true;
  }
}

bool QtFindMovieAtom(QtSource& source, QtAtom* moov) {
  const uint64_t end = source.Size();
  uint64_t offset = 0;
  QtAtom atom;
  while (QtReadAtomHeader(source, offset, end, &atom)) {
    if (atom.type == QtType("moov")) {
      *moov = atom;
      return true;
    }
    offset = atom.End();
  }
  return false;
}

bool QtParseColourTable(const uint8_t* data, uint64_t size, std::vector<uint32_t>* colours) {
  if (size < 8) return false;
  const uint64_t entries = static_cast<uint64_t>(QtBe16(data + 6)) + 1;
  if (entries * 8 > size - 8) return false;
  colours->assign(256, 0);
  for (uint64_t i = 0; i < entries && i < 256; ++i) {
    const uint8_t* e = data + 8 + i * 8;
    // The high byte of each 16-bit component.
    (*colours)[i] = (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[4]) << 8) | e[6];
  }
  return true;
}

namespace {

class MovieReader {
 public:
  explicit MovieReader(QtSource& source) : source_(source) {}
  bool ReadMoov(const QtAtom& moov, QtMovie* movie);

 private:
  using Payload = std::vector<uint8_t>;
  template <typename Fn>
  bool ForEachChild(const QtAtom& parent, Fn&& fn);
  bool Load(const QtAtom& atom, Payload* payload);
  bool ReadMvhd(const QtAtom& atom, QtMovie* movie);
  bool ReadTrak(const QtAtom& trak, QtTrack* track);
  bool ReadTkhd(const QtAtom& atom, QtTrack* track);
  bool ReadElst(const QtAtom& atom, QtTrack* track);
  bool ReadMdia(const QtAtom& mdia, QtTrack* track);
  bool ReadMdhd(const QtAtom& atom, QtTrack* track);
  bool ReadStbl(const QtAtom& stbl, QtTrack* track);
  bool ReadStsd(const QtAtom& atom, QtTrack* track);
  bool ReadTable(const QtAtom& atom, QtSampleTables* tables);

  QtSource& source_;
  int depth_ = 0;
};

// Calls fn(child) for every atom inside `parent`; false when a child is broken, the nesting
// is too deep or fn fails.
template <typename Fn>
bool MovieReader::ForEachChild(const QtAtom& parent, Fn&& fn) {
  if (++depth_ > kQtMaxDepth) return false;
  const uint64_t end = parent.End();
  uint64_t offset = parent.DataOffset();
  bool ok = true;
  // Fewer than 8 bytes left over is padding some writers leave; it ends the list.
  while (ok && end - offset >= 8) {
    QtAtom child;
    if (!QtReadAtomHeader(source_, offset, end, &child)) {
      ok = false;
      break;
    }
    ok = fn(child);
    offset = child.End();
  }
  --depth_;
  return ok;
}

bool MovieReader::Load(const QtAtom& atom, Payload* payload) {
  const uint64_t size = atom.DataSize();
  if (size > kQtTableLimit) return false;
  payload->resize(static_cast<size_t>(size));
  return size == 0 || source_.ReadAt(atom.DataOffset(), payload->data(), static_cast<uint32_t>(size));
}

bool MovieReader::ReadMoov(const QtAtom& moov, QtMovie* movie) {
  return ForEachChild(moov, [&](const QtAtom& a) {
    switch (a.type) {
      case QtType("mvhd"):
        return ReadMvhd(a, movie);
      case QtType("trak"): {
        if (movie->tracks.size() >= kQtMaxTracks) return false;
        QtTrack track;
        if (!ReadTrak(a, &track)) return false;
        movie->tracks.push_back(std::move(track));
        return true;
      }
      case QtType("ctab"): {
        Payload p;
        return Load(a, &p) && QtParseColourTable(p.data(), p.size(), &movie->colours);
      }
      default:  // "clip", "udta" and anything unknown: not needed for playback
        return true;
    }
  });
}

bool MovieReader::ReadMvhd(const QtAtom& atom, QtMovie* movie) {
  Payload p;
  if (!Load(atom, &p) || p.empty()) return false;
  if (p[0] == 1) {
    if (p.size() < 28) return false;
    movie->time_scale = QtBe32(p.data() + 20);
    movie->duration = QtBe64(p.data() + 24);
  } else {
    if (p.size() < 20) return false;
    movie->time_scale = QtBe32(p.data() + 12);
    movie->duration = QtBe32(p.data() + 16);
  }
  return true;
}

bool MovieReader::ReadTrak(const QtAtom& trak, QtTrack* track) {
  return ForEachChild(trak, [&](const QtAtom& a) {
    switch (a.type) {
      case QtType("tkhd"):
        return ReadTkhd(a, track);
      case QtType("mdia"):
        return ReadMdia(a, track);
      case QtType("edts"):
        return ForEachChild(a, [&](const QtAtom& e) {
          return e.type != QtType("elst") || ReadElst(e, track);
        });
      default:  // "clip", "matt", "load", "tref", "imap", "udta"
        return true;
    }
  });
}

bool MovieReader::ReadTkhd(const QtAtom& atom, QtTrack* track) {
  Payload p;
  if (!Load(atom, &p) || p.empty()) return false;
  const size_t id_at = p[0] == 1 ? 20 : 12;
  const size_t width_at = p[0] == 1 ? 88 : 76;
  if (p.size() < width_at + 8) return false;
  track->id = QtBe32(p.data() + id_at);
  track->width = QtBe32(p.data() + width_at) >> 16;
  track->height = QtBe32(p.data() + width_at + 4) >> 16;
  return true;
}

bool MovieReader::ReadElst(const QtAtom& atom, QtTrack* track) {
  Payload p;
  if (!Load(atom, &p) || p.size() < 8) return false;
  const bool wide = p[0] == 1;
  const uint64_t entry = wide ? 20 : 12;
  const uint64_t count = QtBe32(p.data() + 4);
  if (count > (p.size() - 8) / entry) return false;
  track->edits.resize(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* e = p.data() + 8 + i * entry;
    QtEdit& edit = track->edits[i];
    edit.duration = wide ? static_cast<uint32_t>(QtBe64(e)) : QtBe32(e);
    edit.media_time = static_cast<int32_t>(wide ? QtBe64(e + 8) : QtBe32(e + 4));
    edit.rate = QtBe32(e + (wide ? 16 : 8));
  }
  return true;
}

bool MovieReader::ReadMdia(const QtAtom& mdia, QtTrack* track) {
  // The handler says how to read the sample descriptions, wherever it is: "minf" waits for a
  // second pass.
  const bool headers = ForEachChild(mdia, [&](const QtAtom& a) {
    switch (a.type) {
      case QtType("mdhd"):
        return ReadMdhd(a, track);
      case QtType("hdlr"): {
        Payload p;
        if (!Load(a, &p) || p.size() < 12) return false;
        track->handler = QtBe32(p.data() + 8);
        if (track->handler == QtType("vide")) track->kind = QtTrackKind::kVideo;
        if (track->handler == QtType("soun")) track->kind = QtTrackKind::kAudio;
        return true;
      }
      default:
        return true;
    }
  });
  return headers && ForEachChild(mdia, [&](const QtAtom& a) {
    if (a.type != QtType("minf")) return true;
    return ForEachChild(a, [&](const QtAtom& m) {
      // "vmhd", "smhd", the data handler's "hdlr" and "dinf" carry nothing playback uses.
      return m.type != QtType("stbl") || ReadStbl(m, track);
    });
  });
}

bool MovieReader::ReadMdhd(const QtAtom& atom, QtTrack* track) {
  Payload p;
  if (!Load(atom, &p) || p.empty()) return false;
  if (p[0] == 1) {
    if (p.size() < 32) return false;
    track->time_scale = QtBe32(p.data() + 20);
    track->duration = QtBe64(p.data() + 24);
  } else {
    if (p.size() < 20) return false;
    track->time_scale = QtBe32(p.data() + 12);
    track->duration = QtBe32(p.data() + 16);
  }
  return true;
}

bool MovieReader::ReadStbl(const QtAtom& stbl, QtTrack* track) {
  return ForEachChild(stbl, [&](const QtAtom& a) {
    if (a.type == QtType("stsd")) return ReadStsd(a, track);
    return ReadTable(a, &track->tables);
  });
}

// Video: the fields after the common 16 bytes, an inline colour table, then extension atoms.
void ReadVideoDescription(const uint8_t* d, uint64_t size, QtSampleDescription* desc) {
  if (size < 86) return;
  desc->width = QtBe16(d + 32);
  desc->height = QtBe16(d + 34);
  desc->depth = QtBe16(d + 82);
  desc->colour_table_id = static_cast<int16_t>(QtBe16(d + 84));
  uint64_t at = 86;
  const uint16_t bits = desc->depth & 0x1F;
  if (desc->colour_table_id == 0 && bits >= 1 && bits <= 8 && size - at >= 8) {
    const uint64_t table = 8 + (static_cast<uint64_t>(QtBe16(d + at + 6)) + 1) * 8;
    if (table <= size - at && QtParseColourTable(d + at, table, &desc->colours)) {
      desc->has_colour_table = true;
      at += table;
    }
  }
  // Extension atoms; a broken one ends the list (some writers pad with zeros).
  while (size - at >= 8) {
    const uint64_t len = QtBe32(d + at);
    const uint32_t type = QtBe32(d + at + 4);
    if (len < 8 || len > size - at) break;
    const uint8_t* body = d + at + 8;
    const uint64_t body_size = len - 8;
    if (type == QtType("ctab") && QtParseColourTable(body, body_size, &desc->colours)) {
      desc->has_colour_table = true;
    } else if (type == QtType("gama") && body_size >= 4) {
      desc->gamma = QtBe32(body);
    } else if (type == QtType("fiel") && body_size >= 2) {
      desc->fields = body[0];
      desc->field_detail = body[1];
    }
    at += len;
  }
}

void ReadSoundDescription(const uint8_t* d, uint64_t size, QtSampleDescription* desc) {
  if (size < 36) return;
  desc->version = QtBe16(d + 16);
  desc->channels = QtBe16(d + 24);
  desc->bits = QtBe16(d + 26);
  desc->compression_id = static_cast<int16_t>(QtBe16(d + 28));
  desc->sample_rate = QtBe32(d + 32) >> 16;
  if (desc->version == 1 && size >= 52) {
    desc->samples_per_packet = QtBe32(d + 36);
    desc->bytes_per_packet = QtBe32(d + 40);
    desc->bytes_per_frame = QtBe32(d + 44);
    desc->bytes_per_sample = QtBe32(d + 48);
  } else if (desc->version == 2 && size >= 72) {
    uint64_t bits = QtBe64(d + 40);
    double rate;
    std::memcpy(&rate, &bits, sizeof rate);
    desc->sample_rate = rate > 0 && rate < 4294967296.0 ? static_cast<uint32_t>(rate) : 0;
    const uint32_t channels = QtBe32(d + 48);
    desc->channels = channels > 0xFFFF ? 0 : static_cast<uint16_t>(channels);
    const uint32_t sample_bits = QtBe32(d + 56);
    desc->bits = sample_bits > 0xFFFF ? 0 : static_cast<uint16_t>(sample_bits);
    desc->bytes_per_frame = QtBe32(d + 64);
    desc->samples_per_packet = QtBe32(d + 68);
  }
}

bool MovieReader::ReadStsd(const QtAtom& atom, QtTrack* track) {
  if (!track->descriptions.empty()) return true;  // the first one counts
  Payload p;
  if (!Load(atom, &p) || p.size() < 8) return false;
  const uint32_t count = QtBe32(p.data() + 4);
  // Each description is at least its 16-byte common part.
  if (count > (p.size() - 8) / 16 || count > kQtMaxDescriptions) return false;
  uint64_t at = 8;
  for (uint32_t i = 0; i < count; ++i) {
    if (p.size() - at < 16) return false;
    const uint64_t len = QtBe32(p.data() + at);
    if (len < 16 || len > p.size() - at) return false;
    const uint8_t* d = p.data() + at;
    QtSampleDescription desc;
    desc.format = QtBe32(d + 4);
    desc.data_reference = QtBe16(d + 14);
    if (track->kind == QtTrackKind::kVideo) ReadVideoDescription(d, len, &desc);
    if (track->kind == QtTrackKind::kAudio) ReadSoundDescription(d, len, &desc);
    track->descriptions.push_back(std::move(desc));
    at += len;
  }
  return true;
}

// Reads `count` entries of `entry` bytes after the 8-byte version/flags/count header, the count
// checked against the payload first.
template <typename T, typename Fn>
bool ReadEntries(const std::vector<uint8_t>& p, uint64_t header, uint64_t entry, std::vector<T>* out, Fn&& fn) {
  if (p.size() < header) return false;
  const uint64_t count = QtBe32(p.data() + header - 4);
  if (count > (p.size() - header) / entry) return false;
  out->resize(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count; ++i) (*out)[i] = fn(p.data() + header + i * entry);
  return true;
}

bool MovieReader::ReadTable(const QtAtom& atom, QtSampleTables* t) {
  Payload p;
  switch (atom.type) {
    case QtType("stts"):
      return Load(atom, &p) && ReadEntries(p, 8, 8, &t->times, [](const uint8_t* e) {
               return QtTimeToSample{QtBe32(e), QtBe32(e + 4)};
             });
    case QtType("stss"):
      return Load(atom, &p) && ReadEntries(p, 8, 4, &t->sync, [](const uint8_t* e) { return QtBe32(e); });
    case QtType("stsc"):
      return Load(atom, &p) && ReadEntries(p, 8, 12, &t->chunk_map, [](const uint8_t* e) {
               return QtSampleToChunk{QtBe32(e), QtBe32(e + 4), QtBe32(e + 8)};
             });
    case QtType("stco"):
      return Load(atom, &p) && ReadEntries(p, 8, 4, &t->chunk_offsets,
                                           [](const uint8_t* e) { return uint64_t{QtBe32(e)}; });
    case QtType("co64"):
      return Load(atom, &p) && ReadEntries(p, 8, 8, &t->chunk_offsets, [](const uint8_t* e) { return QtBe64(e); });
    case QtType("stsz"):
      if (!Load(atom, &p) || p.size() < 12) return false;
      t->constant_size = QtBe32(p.data() + 4);
      t->sample_count = QtBe32(p.data() + 8);
      if (t->constant_size != 0) return true;  // the count is bounded when samples are located
      return ReadEntries(p, 12, 4, &t->sizes, [](const uint8_t* e) { return QtBe32(e); });
    default:
      return true;
  }
}

}  // namespace

bool QtReadMovie(QtSource& source, QtMovie* movie) {
  QtAtom moov;
  if (!QtFindMovieAtom(source, &moov)) return false;
  *movie = QtMovie();
  return MovieReader(source).ReadMoov(moov, movie);
}

}  // namespace crv
