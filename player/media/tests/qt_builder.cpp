#include "player/media/tests/qt_builder.h"

#include <tuple>
#include "player/base/bytes.h"

namespace crv::test {

void PutBe16(Bytes* b, uint32_t v) { AppendBe16(*b, v); }
void PutBe32(Bytes* b, uint32_t v) { AppendBe32(*b, v); }
void PutBe64(Bytes* b, uint64_t v) {
  AppendBe32(*b, static_cast<uint32_t>(v >> 32));
  AppendBe32(*b, static_cast<uint32_t>(v));
}
void PutType(Bytes* b, const char* type) { b->insert(b->end(), type, type + 4); }

Bytes Atom(const char* type, const Bytes& payload) {
  Bytes b;
  PutBe32(&b, static_cast<uint32_t>(payload.size() + 8));
  PutType(&b, type);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes WideAtom(const char* type, const Bytes& payload, uint64_t size) {
  Bytes b;
  PutBe32(&b, 1);
  PutType(&b, type);
  PutBe64(&b, size);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

namespace {

Bytes FullHeader() { return Bytes(4, 0); }

Bytes Description(const TrackSpec& s) {
  Bytes d;
  PutType(&d, s.format.c_str());
  d.insert(d.end(), 6, 0);
  PutBe16(&d, 1);  // data reference
  if (s.video) {
    d.insert(d.end(), 16, 0);  // version, revision, vendor, qualities
    PutBe16(&d, s.width);
    PutBe16(&d, s.height);
    PutBe32(&d, 72 << 16);
    PutBe32(&d, 72 << 16);
    PutBe32(&d, 0);
    PutBe16(&d, 1);
    d.insert(d.end(), 32, 0);
    PutBe16(&d, s.depth);
    PutBe16(&d, static_cast<uint16_t>(s.colour_table_id));
    d.insert(d.end(), s.colour_table.begin(), s.colour_table.end());
  } else {
    d.insert(d.end(), 8, 0);  // version 0, revision, vendor
    PutBe16(&d, s.channels);
    PutBe16(&d, s.bits);
    PutBe16(&d, 0);
    PutBe16(&d, 0);
    PutBe32(&d, s.rate << 16);
  }
  Bytes sized;
  PutBe32(&sized, static_cast<uint32_t>(d.size() + 4));
  sized.insert(sized.end(), d.begin(), d.end());
  return sized;
}

Bytes SampleTables(const TrackSpec& s) {
  Bytes stsd = FullHeader(), stts = FullHeader(), stsc = FullHeader(), stsz = FullHeader(), stco = FullHeader();
  PutBe32(&stsd, 1);
  const Bytes desc = Description(s);
  stsd.insert(stsd.end(), desc.begin(), desc.end());
  PutBe32(&stts, static_cast<uint32_t>(s.stts.size()));
  for (auto [count, duration] : s.stts) {
    PutBe32(&stts, count);
    PutBe32(&stts, duration);
  }
  PutBe32(&stsc, static_cast<uint32_t>(s.stsc.size()));
  for (auto [first, per, id] : s.stsc) {
    PutBe32(&stsc, first);
    PutBe32(&stsc, per);
    PutBe32(&stsc, id);
  }
  PutBe32(&stsz, s.constant_size);
  if (s.constant_size) {
    uint64_t count = 0;
    for (auto [c, d] : s.stts) count += c;
    PutBe32(&stsz, static_cast<uint32_t>(count));
  } else {
    PutBe32(&stsz, static_cast<uint32_t>(s.sizes.size()));
    for (uint32_t v : s.sizes) PutBe32(&stsz, v);
  }
  PutBe32(&stco, static_cast<uint32_t>(s.stco.size()));
  for (uint32_t v : s.stco) PutBe32(&stco, v);
  return Atom("stbl", Concat({Atom("stsd", stsd), Atom("stts", stts), Atom("stsc", stsc), Atom("stsz", stsz),
                              Atom("stco", stco)}));
}

}  // namespace

Bytes TrackAtom(const TrackSpec& s) {
  Bytes tkhd = FullHeader();
  tkhd.insert(tkhd.end(), 8, 0);
  PutBe32(&tkhd, 1);
  tkhd.insert(tkhd.end(), 60, 0);
  PutBe32(&tkhd, uint32_t{s.width} << 16);
  PutBe32(&tkhd, uint32_t{s.height} << 16);
  Bytes mdhd = FullHeader();
  mdhd.insert(mdhd.end(), 8, 0);
  PutBe32(&mdhd, s.time_scale);
  uint64_t duration = 0;
  for (auto [c, d] : s.stts) duration += uint64_t{c} * d;
  PutBe32(&mdhd, static_cast<uint32_t>(duration));
  PutBe32(&mdhd, 0);
  Bytes hdlr = FullHeader();
  PutType(&hdlr, "mhlr");
  PutType(&hdlr, s.video ? "vide" : "soun");
  hdlr.insert(hdlr.end(), 13, 0);
  Bytes media_header = FullHeader();
  media_header.insert(media_header.end(), s.video ? 8 : 4, 0);
  const Bytes minf = Atom("minf", Concat({Atom(s.video ? "vmhd" : "smhd", media_header), SampleTables(s)}));
  return Atom("trak", Concat({Atom("tkhd", tkhd), Atom("mdia", Concat({Atom("mdhd", mdhd), Atom("hdlr", hdlr), minf}))}));
}

Bytes BuildMovie(const Bytes& data, std::vector<TrackSpec> tracks) {
  Bytes mvhd = FullHeader();
  mvhd.insert(mvhd.end(), 8, 0);
  PutBe32(&mvhd, 600);
  PutBe32(&mvhd, 0);
  mvhd.insert(mvhd.end(), 80, 0);
  Bytes moov = Atom("mvhd", mvhd);
  for (TrackSpec& t : tracks) {
    for (uint32_t& offset : t.stco) offset += 8;
    const Bytes trak = TrackAtom(t);
    moov.insert(moov.end(), trak.begin(), trak.end());
  }
  return Concat({Atom("mdat", data), Atom("moov", moov)});
}

}  // namespace crv::test
