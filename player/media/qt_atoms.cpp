#include "player/media/qt_atoms.h"

#include <cstring>

namespace crv {

bool QtReadAtomHeader(ByteSource& source, uint64_t offset, uint64_t limit, QtAtom* atom) {
  for (;;) {
    if (offset > limit || limit - offset < 8) return false;
    uint8_t head[16];
    if (!source.ReadExactly(offset, head, 8)) return false;
    QtAtom a;
    a.offset = offset;
    a.type = Be32(head + 4);
    uint64_t size = Be32(head);
    if (size == 1) {
      if (limit - offset < 16 || !source.ReadExactly(offset + 8, head + 8, 8)) return false;
      a.header = 16;
      size = Be64(head + 8);
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

bool QtFindMovieAtom(ByteSource& source, QtAtom* moov) {
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

bool QtParseColourTable(ByteView table, std::vector<uint32_t>* colours) {
  const size_t entries = size_t{table.Be16(6)} + 1;
  if (!table.Ok() || entries > (table.size() - 8) / 8) return false;
  colours->assign(256, 0);
  for (size_t i = 0; i < entries && i < 256; ++i) {
    ByteView e = table.Sub(8 + i * 8, 8);
    // The high byte of each 16-bit component.
    (*colours)[i] = uint32_t{e.U8(2)} << 16 | uint32_t{e.U8(4)} << 8 | e.U8(6);
  }
  return true;
}

namespace {

class MovieReader {
 public:
  explicit MovieReader(ByteSource& source) : source_(source) {}
  bool ReadMoov(const QtAtom& moov, QtMovie* movie);

 private:
  using Payload = std::vector<uint8_t>;
  template <typename Fn>
  bool ForEachChild(const QtAtom& parent, Fn&& fn);
  bool Load(const QtAtom& atom, Payload* payload);
  bool ReadTrak(const QtAtom& trak, QtTrack* track);
  bool ReadTkhd(const QtAtom& atom, QtTrack* track);
  bool ReadElst(const QtAtom& atom, QtTrack* track);
  bool ReadMdia(const QtAtom& mdia, QtTrack* track);
  bool ReadStbl(const QtAtom& stbl, QtTrack* track);
  bool ReadStsd(const QtAtom& atom, QtTrack* track);
  bool ReadTable(const QtAtom& atom, QtSampleTables* tables);

  ByteSource& source_;
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
  return source_.ReadExactly(atom.DataOffset(), payload->data(), static_cast<size_t>(size));
}

// "mvhd" and "mdhd" alike: version 1 has 64-bit times (the scale at 20, the duration at 24),
// version 0 32-bit ones (at 12 and 16).
bool ReadTimes(ByteView v, uint32_t* time_scale, uint64_t* duration) {
  const bool wide = v.U8(0) == 1;
  *time_scale = v.Be32(wide ? 20 : 12);
  *duration = wide ? v.Be64(24) : v.Be32(16);
  return v.Ok();
}

bool MovieReader::ReadMoov(const QtAtom& moov, QtMovie* movie) {
  return ForEachChild(moov, [&](const QtAtom& a) {
    switch (a.type) {
      case QtType("mvhd"): {
        Payload p;
        return Load(a, &p) && ReadTimes(ByteView(p), &movie->time_scale, &movie->duration);
      }
      case QtType("trak"): {
        if (movie->tracks.size() >= kQtMaxTracks) return false;
        QtTrack track;
        if (!ReadTrak(a, &track)) return false;
        movie->tracks.push_back(std::move(track));
        return true;
      }
      case QtType("ctab"): {
        Payload p;
        return Load(a, &p) && QtParseColourTable(ByteView(p), &movie->colours);
      }
      default:  // "clip", "udta" and anything unknown: not needed for playback
        return true;
    }
  });
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
  if (!Load(atom, &p)) return false;
  ByteView v(p);
  const bool wide = v.U8(0) == 1;
  const size_t width_at = wide ? 88 : 76;
  track->id = v.Be32(wide ? 20 : 12);
  track->width = v.Be32(width_at) >> 16;
  track->height = v.Be32(width_at + 4) >> 16;
  return v.Ok();
}

// Reads `count` entries of `entry` bytes after the 8-byte (or longer) header that ends with the
// count, the count checked against the payload first; an entry field past its entry fails.
template <typename T, typename Fn>
bool ReadEntries(ByteView v, size_t header, size_t entry, std::vector<T>* out, Fn&& fn) {
  const uint64_t count = v.Be32(header - 4);
  if (!v.Ok() || count > (v.size() - header) / entry) return false;
  out->resize(static_cast<size_t>(count));
  for (size_t i = 0; i < out->size(); ++i) {
    ByteView e = v.Sub(header + i * entry, entry);
    (*out)[i] = fn(e);
    if (!e.Ok()) return false;
  }
  return true;
}

bool MovieReader::ReadElst(const QtAtom& atom, QtTrack* track) {
  Payload p;
  if (!Load(atom, &p)) return false;
  ByteView v(p);
  const bool wide = v.U8(0) == 1;
  return ReadEntries(v, 8, wide ? 20 : 12, &track->edits, [wide](ByteView& e) {
    QtEdit edit;
    edit.duration = wide ? static_cast<uint32_t>(e.Be64(0)) : e.Be32(0);
    edit.media_time = static_cast<int32_t>(wide ? e.Be64(8) : e.Be32(4));
    edit.rate = e.Be32(wide ? 16 : 8);
    return edit;
  });
}

bool MovieReader::ReadMdia(const QtAtom& mdia, QtTrack* track) {
  // The handler says how to read the sample descriptions, wherever it is: "minf" waits for a
  // second pass.
  const bool headers = ForEachChild(mdia, [&](const QtAtom& a) {
    switch (a.type) {
      case QtType("mdhd"): {
        Payload p;
        return Load(a, &p) && ReadTimes(ByteView(p), &track->time_scale, &track->duration);
      }
      case QtType("hdlr"): {
        Payload p;
        if (!Load(a, &p)) return false;
        ByteView v(p);
        track->handler = v.Be32(8);
        if (!v.Ok()) return false;
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

bool MovieReader::ReadStbl(const QtAtom& stbl, QtTrack* track) {
  return ForEachChild(stbl, [&](const QtAtom& a) {
    if (a.type == QtType("stsd")) return ReadStsd(a, track);
    return ReadTable(a, &track->tables);
  });
}

// Video: the fields after the common 16 bytes, an inline colour table, then extension atoms.
void ReadVideoDescription(ByteView d, QtSampleDescription* desc) {
  if (!d.Has(0, 86)) return;
  // The depth and the colour table id say whether a table follows the fixed part.
  desc->depth = d.Be16(82);
  desc->colour_table_id = static_cast<int16_t>(d.Be16(84));
  desc->width = d.Be16(32);
  desc->height = d.Be16(34);
  size_t at = 86;
  const uint16_t bits = desc->depth & 0x1F;
  if (desc->colour_table_id == 0 && bits >= 1 && bits <= 8 && d.Has(at, 8)) {
    const size_t table = 8 + (size_t{d.Be16(at + 6)} + 1) * 8;
    if (d.Has(at, table) && QtParseColourTable(d.Sub(at, table), &desc->colours)) {
      desc->has_colour_table = true;
      at += table;
    }
  }
  // Extension atoms; a broken one ends the list (some writers pad with zeros).
  while (d.Has(at, 8)) {
    const size_t len = d.Be32(at);
    const uint32_t type = d.Be32(at + 4);
    if (len < 8 || !d.Has(at, len)) break;
    ByteView body = d.Sub(at + 8, len - 8);
    if (type == QtType("ctab") && QtParseColourTable(body, &desc->colours)) {
      desc->has_colour_table = true;
    } else if (type == QtType("gama") && body.Has(0, 4)) {
      desc->gamma = body.Be32(0);
    } else if (type == QtType("fiel") && body.Has(0, 2)) {
      desc->fields = body.U8(0);
      desc->field_detail = body.U8(1);
    }
    at += len;
  }
}

void ReadSoundDescription(ByteView d, QtSampleDescription* desc) {
  if (!d.Has(0, 36)) return;
  desc->version = d.Be16(16);
  desc->channels = d.Be16(24);
  desc->bits = d.Be16(26);
  desc->compression_id = static_cast<int16_t>(d.Be16(28));
  desc->sample_rate = d.Be32(32) >> 16;
  if (desc->version == 1 && d.Has(0, 52)) {
    desc->samples_per_packet = d.Be32(36);
    desc->bytes_per_packet = d.Be32(40);
    desc->bytes_per_frame = d.Be32(44);
    desc->bytes_per_sample = d.Be32(48);
  } else if (desc->version == 2 && d.Has(0, 72)) {
    const uint64_t bits = d.Be64(40);
    double rate;
    std::memcpy(&rate, &bits, sizeof rate);
    desc->sample_rate = rate > 0 && rate < 4294967296.0 ? static_cast<uint32_t>(rate) : 0;
    const uint32_t channels = d.Be32(48);
    desc->channels = channels > 0xFFFF ? 0 : static_cast<uint16_t>(channels);
    const uint32_t sample_bits = d.Be32(56);
    desc->bits = sample_bits > 0xFFFF ? 0 : static_cast<uint16_t>(sample_bits);
    desc->bytes_per_frame = d.Be32(64);
    desc->samples_per_packet = d.Be32(68);
  }
}

bool MovieReader::ReadStsd(const QtAtom& atom, QtTrack* track) {
  if (!track->descriptions.empty()) return true;  // the first one counts
  Payload p;
  if (!Load(atom, &p)) return false;
  ByteView v(p);
  const uint32_t count = v.Be32(4);
  // Each description is at least its 16-byte common part.
  if (!v.Ok() || count > (v.size() - 8) / 16 || count > kQtMaxDescriptions) return false;
  size_t at = 8;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t len = v.Be32(at);
    if (!v.Ok() || len < 16 || !v.Has(at, len)) return false;
    ByteView d = v.Sub(at, len);
    QtSampleDescription desc;
    desc.format = d.Be32(4);
    desc.data_reference = d.Be16(14);
    if (track->kind == QtTrackKind::kVideo) ReadVideoDescription(d, &desc);
    if (track->kind == QtTrackKind::kAudio) ReadSoundDescription(d, &desc);
    track->descriptions.push_back(std::move(desc));
    at += len;
  }
  return true;
}

bool MovieReader::ReadTable(const QtAtom& atom, QtSampleTables* t) {
  Payload p;
  switch (atom.type) {
    case QtType("stts"):
      return Load(atom, &p) && ReadEntries(ByteView(p), 8, 8, &t->times, [](ByteView& e) {
               return QtTimeToSample{e.Be32(0), e.Be32(4)};
             });
    case QtType("stss"):
      return Load(atom, &p) && ReadEntries(ByteView(p), 8, 4, &t->sync, [](ByteView& e) { return e.Be32(0); });
    case QtType("stsc"):
      return Load(atom, &p) && ReadEntries(ByteView(p), 8, 12, &t->chunk_map, [](ByteView& e) {
               return QtSampleToChunk{e.Be32(0), e.Be32(4), e.Be32(8)};
             });
    case QtType("stco"):
      return Load(atom, &p) && ReadEntries(ByteView(p), 8, 4, &t->chunk_offsets,
                                           [](ByteView& e) { return uint64_t{e.Be32(0)}; });
    case QtType("co64"):
      return Load(atom, &p) && ReadEntries(ByteView(p), 8, 8, &t->chunk_offsets, [](ByteView& e) { return e.Be64(0); });
    case QtType("stsz"): {
      if (!Load(atom, &p)) return false;
      ByteView v(p);
      t->constant_size = v.Be32(4);
      t->sample_count = v.Be32(8);
      if (!v.Ok()) return false;
      if (t->constant_size != 0) return true;  // the count is bounded when samples are located
      return ReadEntries(v, 12, 4, &t->sizes, [](ByteView& e) { return e.Be32(0); });
    }
    default:
      return true;
  }
}

}  // namespace

bool QtReadMovie(ByteSource& source, QtMovie* movie) {
  QtAtom moov;
  if (!QtFindMovieAtom(source, &moov)) return false;
  *movie = QtMovie();
  return MovieReader(source).ReadMoov(moov, movie);
}

}  // namespace crv
