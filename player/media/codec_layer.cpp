#include "player/media/codec_layer.h"

namespace crv {

void DerivePalette565(const uint32_t* palette, uint16_t* out, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t c = palette[i];
    out[i] = static_cast<uint16_t>(((c & 0xF80000) >> 8) | ((c & 0xFC00) >> 5) | ((c & 0xF8) >> 3));
  }
}

CodecLayer::CodecLayer(CodecLibraryLoader& loader) : loader_(loader) {}

CodecLayer::~CodecLayer() { Teardown(); }

int CodecLayer::Setup(const char* code, int* width, int* height, int depth, const uint32_t* palette,
                      const uint16_t* palette565) {
  Teardown();
  if (!width || !height) return 0;
  // Uncompressed bitmaps with a negative height hold their rows top-down.
  const uint32_t normalised = NormaliseCodecCode(code);
  if (normalised == 0 && *height < 0 && *height >= -kMaxSide) {
    top_down_ = true;
    *height = -*height;
  }
  if (*width <= 0 || *height <= 0 || *width > kMaxSide || *height > kMaxSide)
    return 0;
  code_ = normalised;
  kind_ = CodecKindOf(code_);
  active_ = true;
  switch (kind_) {
    case CodecKind::kCodecsDll:
      if (!LoadCodecLibrary(u"codecs.dll", width, height)) return 0;
      break;
    case CodecKind::kCodecs3Dll:
      if (!LoadCodecLibrary(u"codecs3.dll", width, height)) return 0;
      break;
    case CodecKind::kMjpeg:
      if (!mjpeg_.Open()) return 0;
      break;
    default:
      break;
  }
  width_ = *width;
  height_ = *height;
  depth_ = depth;
  palette_.assign(256, 0);
  if (palette) palette_.assign(palette, palette + 256);
  palette565_.assign(256, 0);
  if (palette565) palette565_.assign(palette565, palette565 + 256);
  else if (depth == 8) DerivePalette565(palette_.data(), palette565_.data(), 256);
  if (kind_ == CodecKind::kCinepak) Reset();
  return 1;
}

bool CodecLayer::LoadCodecLibrary(const char16_t* name, int* width, int* height) {
  CodecLibraryEntries entries;
  void* handle = loader_.Load(name, &entries);
  if (!handle) return false;
  if (entries.init(code_, *width, *height) != 0) {
    entries.finish(code_);
    loader_.Release(handle);
    return false;
  }
  library_ = handle;
  entries_ = entries;
  *width &= ~3;
  *height &= ~1;
  return true;
}

void CodecLayer::ReleaseLibrary() {
  if (!library_) return;
  entries_.finish(code_);
  loader_.Release(library_);
  library_ = nullptr;
  entries_ = CodecLibraryEntries{};
  library_picture_.clear();
  library_picture_.shrink_to_fit();
}

void CodecLayer::Reset() {
  if (!active_ || kind_ != CodecKind::kCinepak) return;
  cinepak_ = std::make_unique<CinepakDecoder>();
  if (!cinepak_->Init(width_, height_)) cinepak_.reset();
}

void CodecLayer::Teardown() {
  ReleaseLibrary();
  cinepak_.reset();
  mjpeg_.Close();
  palette565_.clear();
  palette_.clear();
  active_ = false;
  top_down_ = false;
  code_ = 0;
  kind_ = CodecKind::kUnknown;
  width_ = height_ = depth_ = 0;
}

int CodecLayer::Decode(const void* data, size_t size, void* out, bool bgr24) {
  const size_t bytes = static_cast<size_t>(width_) * height_ * (bgr24 ? 3 : 2);
  return DecodeInto(data, size, out, bytes, 0, bgr24);
}

int CodecLayer::DecodeInto(const void* data, size_t size, void* out, size_t out_size, size_t stride,
                           bool bgr24) {
  if (!active_ || !data) return 0;
  PixelTarget target;
  if (!MakePixelTarget(out, out_size, stride, width_, height_, bgr24 ? PixelForm::kBgr24 : PixelForm::kRgb565,
                       &target))
    return 0;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (kind_ == CodecKind::kCodecsDll || kind_ == CodecKind::kCodecs3Dll)
    return DecodeWithLibrary(bytes, size, target) ? 1 : 0;
  return DecodeOwn(bytes, size, target) ? 1 : 0;
}

bool CodecLayer::DecodeOwn(const uint8_t* data, size_t size, const PixelTarget& target) {
  const Palettes palettes{palette_.data(), palette565_.data()};
  switch (kind_) {
    case CodecKind::kUncompressed:
      return DecodeDibFrame(data, size, depth_, palettes, top_down_, target);
    case CodecKind::kRaw:
      return DecodeRawFrame(data, size, depth_, palettes, target);
    case CodecKind::kQtRle:
      return depth_ == 24 && DecodeQtRle24(data, size, target);
    case CodecKind::kRpza:
      // Apple Video is 15-bit whatever depth the sample description declares.
      return DecodeRpza(data, size, target);
    case CodecKind::kCinepak:
      if (!cinepak_ || !cinepak_->Decode(data, size, target.form == PixelForm::kBgr24)) return false;
      cinepak_->Put(target);
      return true;
    case CodecKind::kMsVideo1:
      return DecodeMsVideo1(data, size, depth_, palette565_.data(), target);
    case CodecKind::kMjpeg:
      return mjpeg_.Decode(data, size, target);
    default:
      return false;
  }
}

bool CodecLayer::DecodeWithLibrary(const uint8_t* data, size_t size, const PixelTarget& target) {
  if (!library_ || size > 0x7FFFFFFF) return false;
  // The library writes packed top-down rows; they go through a picture of our own so that
  // any stride and the bottom-up 24-bit form come out right.
  const bool bgr24 = target.form == PixelForm::kBgr24;
  const size_t row = static_cast<size_t>(width_) * (bgr24 ? 3 : 2);
  library_picture_.resize(row * height_);
  entries_.decode(data, static_cast<int>(size), library_picture_.data(), width_, height_, bgr24 ? 1 : 0);
  if (bgr24) {
    PutBgrPicture(library_picture_.data(), row, target);
  } else {
    for (int y = 0; y < height_; ++y) std::memcpy(target.Row(y), library_picture_.data() + y * row, row);
  }
  return true;
}

CodecLayer& ProcessCodecLayer() {
  static CodecLayer layer;
  return layer;
}

}  // namespace crv
