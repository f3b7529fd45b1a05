// One MPEG file opened through libavformat: its MPEG-1/2 video stream with a decoder, and its
// MPEG audio (layers 1-3) with a decoder and a resampler to 16-bit PCM. Decoded pictures are
// converted to 5-6-5 pixels of the stream's size; times are milliseconds from the start of the
// file. Used by one thread at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

namespace crv::mpeg {

// Pictures larger than this on either side are refused.
constexpr int kMaxSide = 4096;

// What a probe learned: the size and the length of the stream.
struct StreamFacts {
  int width = 0;
  int height = 0;
  int64_t durationMs = 0;
};

class MpegMedia {
 public:
  enum class Packet { kVideo, kSound, kOther, kEnd };
  // A decoded picture and its time; false stops the decoding (the caller is cancelling).
  using TakePicture = std::function<bool(const AVFrame& frame, int64_t ms)>;
  // Interleaved 16-bit samples (SoundChannels() a frame) and their time.
  using TakeSound = std::function<bool(const int16_t* samples, int frames, int64_t ms)>;

  MpegMedia() = default;
  MpegMedia(const MpegMedia&) = delete;
  MpegMedia& operator=(const MpegMedia&) = delete;
  ~MpegMedia() { Close(); }

  // Opens the file and its first MPEG-1/2 video stream of a size within kMaxSide, and, with
  // `withSound`, its first MPEG audio stream (a file without one plays silent). False when
  // there is no such video or the file cannot be read.
  bool Open(const std::string& path, bool withSound);
  void Close();

  const StreamFacts& Facts() const { return facts_; }
  // The time one picture stays (from the frame rate; 40 ms when it has none).
  int64_t PictureMs() const { return pictureMs_; }
  bool HasSound() const { return sound_ != nullptr; }
  int SoundRate() const { return soundRate_; }
  int SoundChannels() const { return soundChannels_; }
  // Plays on without sound (the device refused it).
  void DropSound();

  // The next packet into `packet` (unreferenced by the caller); kEnd at the end of the file
  // and on a read error.
  Packet Read(AVPacket* packet);
  // Frames the decoder holds first, then the packet, then what it gave; a null packet drains
  // the decoder at the end of the stream. Damaged packets are skipped.
  bool DecodeVideo(const AVPacket* packet, const TakePicture& take);
  bool DecodeSound(const AVPacket* packet, const TakeSound& take);
  // Frames still held by the decoders at the end of the stream.
  bool FinishVideo(const TakePicture& take);
  bool FinishSound(const TakeSound& take);

  // The picture as width x height 5-6-5 pixels, top row first (scaled when the stream's
  // pictures changed size).
  bool ConvertPicture(const AVFrame& frame, uint16_t* out);

  // Moves to the key picture at or before `ms` (or, when none can be found before it, the
  // first one after) and empties the decoders. False when the container cannot seek.
  bool Seek(int64_t ms);

 private:
  bool SeekTime(int64_t ms);
  bool SeekBytes(int64_t position);
  // Timestamp seeks land on any picture, so the container is read on from a little earlier
  // for the byte position of the last key picture at or before `ms`.
  bool SeekToKeyBefore(int64_t ms);
  // Reading on from here: the position of the last key picture at or before `ms`, or -1.
  int64_t ScanForKey(AVPacket* packet, int64_t ms);
  int64_t Milliseconds(int64_t timestamp, int streamIndex) const;
  bool ReceivePictures(const TakePicture& take);
  bool ReceiveSound(const TakeSound& take);
  bool Resample(const AVFrame& frame, const TakeSound& take);

  AVFormatContext* format_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* sound_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwsContext* scaler_ = nullptr;
  SwrContext* resampler_ = nullptr;
  int videoIndex_ = -1;
  int soundIndex_ = -1;
  int soundRate_ = 0;
  int soundChannels_ = 0;
  int64_t originMs_ = 0;       // the container's start time
  int64_t pictureMs_ = 40;
  int64_t nextPictureMs_ = 0;  // for pictures without a timestamp
  int64_t nextSoundMs_ = 0;
  int resampleRate_ = 0;       // what the resampler was made for
  int resampleFormat_ = -1;
  int resampleChannels_ = 0;
  StreamFacts facts_;
  std::vector<uint8_t> rows_;     // converted rows, stride aligned for libswscale
  std::vector<int16_t> samples_;  // resampled sound
};

// Opens the file, decodes its first picture into `picture` (width x height 5-6-5 pixels) and
// tells its size and length. False when it is not a stream MpegMedia plays or no picture
// decodes.
bool ProbeFile(const std::string& path, StreamFacts* facts, std::vector<uint16_t>* picture);

}  // namespace crv::mpeg
