// The two presets as stored, the atom container reader and writer, and the settings read
// from them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "converter/atom_container.h"
#include "converter/export_settings.h"

using namespace conv;

namespace {

Bytes ReadPreset(const char* name) {
  std::ifstream in(std::string(CRV_CONVERTER_PRESETS) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint32_t> ChildTypes(const Atom& atom) {
  std::vector<uint32_t> types;
  for (const Atom& child : atom.children) types.push_back(child.type);
  return types;
}

Bytes Hex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

const Bytes& Data(const Atom& root, std::initializer_list<uint32_t> path) {
  static const Bytes missing{0xDE, 0xAD};
  const Atom* atom = FindAtom(root, path);
  return atom ? atom->data : missing;
}

void AllIdsAreOne(const Atom& atom) {
  for (const Atom& child : atom.children) {
    EXPECT_EQ(child.id, 1u);
    AllIdsAreOne(child);
  }
}

void ExpectPresetTree(const Bytes& bytes, const char* codec, const char* maker, size_t cdecSize) {
  ASSERT_GT(bytes.size(), kContainerHeaderSize);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), Bytes(12, 0));
  Atom root;
  ASSERT_TRUE(ParseAtomContainer(bytes, &root));
  EXPECT_EQ(ChildTypes(root), (std::vector<uint32_t>{Four("sean")}));
  const Atom& sean = root.children[0];
  EXPECT_EQ(ChildTypes(sean),
            (std::vector<uint32_t>{Four("vide"), Four("soun"), Four("envi"), Four("enso"), Four("save")}));
  EXPECT_EQ(ChildTypes(*sean.Child(Four("vide"))),
            (std::vector<uint32_t>{Four("sptl"), Four("tprl"), Four("drat"), Four("cflg"), Four("cmfr"), Four("clut"),
                                   Four("cdec"), Four("vers"), Four("trnc")}));
  AllIdsAreOne(root);
  const uint32_t S = Four("sean"), V = Four("vide"), A = Four("soun");
  Bytes sptl(codec, codec + 4);
  Bytes rest = Hex("00000000" "0018" "00000200");
  sptl.insert(sptl.end(), rest.begin(), rest.end());
  EXPECT_EQ(Data(root, {S, V, Four("sptl")}), sptl);
  EXPECT_EQ(Data(root, {S, V, Four("tprl")}), Bytes(12, 0));
  EXPECT_EQ(Data(root, {S, V, Four("drat")}), Hex("00000000FFFF80000000010000000100"));
  EXPECT_EQ(Data(root, {S, V, Four("cflg")}), Hex("0044"));
  EXPECT_EQ(Data(root, {S, V, Four("cmfr")}), Bytes(maker, maker + 4));
  EXPECT_EQ(Data(root, {S, V, Four("clut")}), Bytes());
  EXPECT_EQ(Data(root, {S, V, Four("cdec")}).size(), cdecSize);
  EXPECT_EQ(Data(root, {S, V, Four("vers")}), Hex("0003001400010000"));
  EXPECT_EQ(Data(root, {S, V, Four("trnc")}), Bytes(4, 0));
  EXPECT_EQ(Data(root, {S, A, Four("ssct")}), Bytes({'i', 'm', 'a', '4'}));
  EXPECT_EQ(Data(root, {S, A, Four("ssrt")}), Hex("56220000"));
  EXPECT_EQ(Data(root, {S, A, Four("ssss")}), Hex("0010"));
  EXPECT_EQ(Data(root, {S, A, Four("sscc")}), Hex("0001"));
  EXPECT_EQ(Data(root, {S, A, Four("vers")}), Hex("0003000C00010000"));
  EXPECT_EQ(Data(root, {S, Four("envi")}), Hex("01"));
  EXPECT_EQ(Data(root, {S, Four("enso")}), Hex("01"));
  EXPECT_EQ(Data(root, {S, Four("save"), Four("fast")}), Hex("00"));
  EXPECT_EQ(Data(root, {S, Four("save"), Four("ssty")}), Hex("01"));
  EXPECT_EQ(WriteAtomContainer(root), bytes) << "read and written again, byte for byte";
}

}  // namespace

TEST(ConverterPresets, H263PresetHasTheTabledTree) {
  ExpectPresetTree(ReadPreset("h263.qtac"), "h263", "appl", 0);
}

TEST(ConverterPresets, SorensonPresetHasTheTabledTree) {
  ExpectPresetTree(ReadPreset("sorenson3.qtac"), "SVQ3", "SMI ", 930);
}

TEST(ConverterPresets, SettingsReadFromThePresets) {
  Atom root;
  ASSERT_TRUE(ParseAtomContainer(ReadPreset("sorenson3.qtac"), &root));
  ExportSettings s;
  s.videoCodec = 0;
  s.sampleRate = 0;
  ASSERT_TRUE(ReadExportSettings(root, &s));
  EXPECT_EQ(s.videoCodec, kCodecSorenson3);
  EXPECT_EQ(s.depth, 24);
  EXPECT_EQ(s.spatialQuality, kQualityNormal);
  EXPECT_EQ(s.frameRate, 0u);
  EXPECT_EQ(s.keyFrameRate, 0u);
  EXPECT_EQ(s.soundFormat, kSoundIma4);
  EXPECT_DOUBLE_EQ(s.SampleRateHz(), 22050.0);
  EXPECT_EQ(s.sampleSize, 16);
  EXPECT_EQ(s.channels, 1);
  EXPECT_TRUE(s.video);
  EXPECT_TRUE(s.sound);
  EXPECT_TRUE(CanExport(s));
}

TEST(ConverterPresets, WritingSettingsKeepsTheAtomsTheExporterOnlyCarries) {
  Bytes preset = ReadPreset("sorenson3.qtac");
  Atom root;
  ASSERT_TRUE(ParseAtomContainer(preset, &root));
  ExportSettings s;
  ASSERT_TRUE(ReadExportSettings(root, &s));
  WriteExportSettings(s, &root);
  EXPECT_EQ(WriteAtomContainer(root), preset) << "the same settings give the same bytes";

  s.videoCodec = kCodecH263;
  s.channels = 2;
  s.sound = false;
  WriteExportSettings(s, &root);
  Atom again;
  ASSERT_TRUE(ParseAtomContainer(WriteAtomContainer(root), &again));
  ExportSettings back;
  ASSERT_TRUE(ReadExportSettings(again, &back));
  EXPECT_EQ(back.videoCodec, kCodecH263);
  EXPECT_EQ(back.channels, 2);
  EXPECT_FALSE(back.sound);
  EXPECT_EQ(FindAtom(again, {Four("sean"), Four("vide"), Four("cdec")})->data.size(), 930u);
  EXPECT_EQ(FindAtom(again, {Four("sean"), Four("vide"), Four("drat")})->data,
            Hex("00000000FFFF80000000010000000100"));
}

TEST(ConverterPresets, SettingsStartFromNothing) {
  Atom empty;
  empty.isContainer = true;
  ExportSettings s;
  EXPECT_FALSE(ReadExportSettings(empty, &s)) << "no 'sean' atom";
  WriteExportSettings(ExportSettings(), &empty);
  Atom parsed;
  ASSERT_TRUE(ParseAtomContainer(WriteAtomContainer(empty), &parsed));
  EXPECT_TRUE(ReadExportSettings(parsed, &s));
  EXPECT_EQ(s.videoCodec, kCodecH263);
}

TEST(ConverterAtoms, DamagedContainersAreRefused) {
  Bytes good = ReadPreset("h263.qtac");
  Atom root;
  ASSERT_TRUE(ParseAtomContainer(good, &root));

  EXPECT_FALSE(ParseAtomContainer(Bytes(good.begin(), good.begin() + 11), &root)) << "short header";
  EXPECT_TRUE(ParseAtomContainer(Bytes(12, 0), &root)) << "an empty container";
  EXPECT_FALSE(ParseAtomContainer(Bytes(good.begin(), good.end() - 1), &root)) << "cut short";

  Bytes tooSmall = good;
  tooSmall[15] = 19;  // 'sean' size below its header
  tooSmall[12] = tooSmall[13] = tooSmall[14] = 0;
  EXPECT_FALSE(ParseAtomContainer(tooSmall, &root));

  Bytes tooBig = good;
  tooBig[12] = 0x7F;
  EXPECT_FALSE(ParseAtomContainer(tooBig, &root));

  Bytes wrongCount = good;
  wrongCount[12 + 15] = 6;  // 'sean' claims six children, has five
  EXPECT_FALSE(ParseAtomContainer(wrongCount, &root));

  Bytes trailing = good;
  trailing.insert(trailing.end(), 7, 0);
  EXPECT_FALSE(ParseAtomContainer(trailing, &root)) << "bytes that are no atom";
}

TEST(ConverterAtoms, NestingIsBounded) {
  Atom root;
  root.isContainer = true;
  Atom* at = &root;
  for (int depth = 0; depth < 40; ++depth) {
    at->children.push_back(Atom());
    at = &at->children.back();
    at->type = Four("nest");
    at->isContainer = depth < 39;
  }
  Bytes deep = WriteAtomContainer(root);
  Atom parsed;
  EXPECT_FALSE(ParseAtomContainer(deep, &parsed));
}

TEST(ConverterAtoms, ShortValuesAreRefusedAndChangeNothing) {
  Atom root;
  ASSERT_TRUE(ParseAtomContainer(ReadPreset("h263.qtac"), &root));
  MakeAtom(root, {Four("sean"), Four("vide"), Four("sptl")})->data.resize(13);
  MakeAtom(root, {Four("sean"), Four("soun"), Four("sscc")})->data = Bytes{0, 2};
  ExportSettings s;
  s.channels = 7;
  EXPECT_FALSE(ReadExportSettings(root, &s));
  EXPECT_EQ(s.channels, 7);
}

TEST(ConverterSettings, WhatTheExporterCanWrite) {
  ExportSettings s;
  EXPECT_TRUE(CanExport(s));
  s.videoCodec = Four("cvid");
  EXPECT_FALSE(CanExport(s));
  s.video = false;
  EXPECT_TRUE(CanExport(s)) << "the video codec does not matter without video";
  s.sound = false;
  EXPECT_FALSE(CanExport(s)) << "nothing to write";
  s = ExportSettings();
  s.sampleRate = 50000u << 16;
  EXPECT_FALSE(CanExport(s));
  s = ExportSettings();
  s.channels = 3;
  EXPECT_FALSE(CanExport(s));
  s = ExportSettings();
  s.soundFormat = Four("ulaw");
  EXPECT_FALSE(CanExport(s));
}
