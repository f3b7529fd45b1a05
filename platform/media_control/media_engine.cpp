// The media engine's worker: opens a file with libavformat, decodes its best sound and
// picture streams, keeps a few wave-out buffers queued and shows each picture when the clock
// reaches it. The clock is the sound device's played-sample count; a file without sound (or
// a machine without a sound device) runs on the system clock.
#include "platform/media_control/media_engine.h"

#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace crv {
namespace mediactl {

namespace {

constexpr int kWaveBuffers = 8;
constexpr int kWaveBufferMs = 50;
// Packets read ahead for one track. Sound never waits for room (its clock must run), so a
// file interleaved worse than this loses pictures; pictures wait for the sound to make room.
constexpr size_t kMaxQueuedPackets = 4000;
constexpr size_t kMaxQueuedBytes = 16u << 20;
constexpr int kMaxPicturesPerTurn = 4;  // late pictures caught up per turn; requests come between
constexpr double kUnknownTime = -1e300;
constexpr DWORD kIdleWaitMs = 10;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const char* text) {
  if (!text || !*text) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 1)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], n);
  out.resize(wcslen(out.c_str()));
  return out;
}

std::wstring Tag(AVDictionary* metadata, const char* key) {
  const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
  return entry ? Wide(entry->value) : std::wstring();
}

double Seconds(int64_t pts, AVRational base) {
  return pts == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(pts) * av_q2d(base);
}

// One decoder with its stream and the packets read ahead for it.
struct Track {
  int index = -1;
  AVStream* stream = nullptr;
  AVCodecContext* codec = nullptr;
  std::deque<AVPacket*> packets;
  size_t queuedBytes = 0;
  bool drained = false;  // the decoder has given its last frame

  ~Track() {
    for (AVPacket* p : packets) av_packet_free(&p);
    avcodec_free_context(&codec);
  }
  bool Open(AVFormatContext* format, AVMediaType type) {
    index = av_find_best_stream(format, type, -1, -1, nullptr, 0);
    if (index < 0) return false;
    stream = format->streams[index];
    if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) return Fail();
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder) return Fail();
    codec = avcodec_alloc_context3(decoder);
    if (!codec || avcodec_parameters_to_context(codec, stream->codecpar) < 0) return Fail();
    codec->thread_count = 1;
    if (avcodec_open2(codec, decoder, nullptr) < 0) return Fail();
    return true;
  }
  bool Fail() {
    avcodec_free_context(&codec);
    index = -1;
    stream = nullptr;
    return false;
  }
  void Flush() {
    for (AVPacket* p : packets) av_packet_free(&p);
    packets.clear();
    queuedBytes = 0;
    if (codec) avcodec_flush_buffers(codec);
    drained = false;
  }
  bool Active() const { return codec != nullptr; }
  bool Full() const { return packets.size() >= kMaxQueuedPackets || queuedBytes >= kMaxQueuedBytes; }
  void Queue(AVPacket* p) {
    queuedBytes += static_cast<size_t>(std::max(p->size, 0));
    packets.push_back(p);
  }
  AVPacket* Take() {
    AVPacket* p = packets.front();
    packets.pop_front();
    queuedBytes -= std::min(queuedBytes, static_cast<size_t>(std::max(p->size, 0)));
    return p;
  }
};

}  // namespace

// Everything of one open file, owned by the worker.
struct MediaEngine::Session {
  AVFormatContext* format = nullptr;
  Track audio;
  Track video;
  bool endOfFile = false;
  AVFrame* frame = nullptr;

  double startTime = 0;  // the file's first time stamp: media time 0

  // Sound: converted to 16-bit interleaved, queued in wave buffers. The resampler is made for
  // the decoded frames' layout, format and rate, and again when a frame brings others.
  SwrContext* resampler = nullptr;
  AVChannelLayout resamplerLayout = {};
  int resamplerFormat = -1;
  int resamplerRate = 0;
  int rate = 0;
  int channels = 0;
  std::vector<uint8_t> pcm;  // converted, not yet queued
  double pcmStart = 0;       // media time of pcm's first sample
  HWAVEOUT device = nullptr;
  HANDLE waveEvent = nullptr;
  WAVEHDR headers[kWaveBuffers] = {};
  std::vector<uint8_t> waveMemory;
  double queuedStart = 0;     // media time of the first sample queued since the last reset
  int64_t queuedSamples = 0;  // samples queued since the last reset
  bool audioDone = false;

  // Pictures: the next one waits in `pending` until the clock reaches it.
  AVFrame* pending = nullptr;
  double pendingTime = 0;
  bool videoDone = false;
  double lastPictureTime = kUnknownTime;  // of the last picture decoded since the last reset
  SwsContext* scaler = nullptr;

  // The system clock, for a file without sound and once the sound has ended.
  double wallBase = 0;
  DWORD wallStart = 0;
  bool running = false;
  double dropBefore = 0;  // after a seek: what lies before it is decoded but not shown

  ~Session() {
    CloseDevice();
    if (waveEvent) CloseHandle(waveEvent);
    av_frame_free(&frame);
    av_frame_free(&pending);
    swr_free(&resampler);
    av_channel_layout_uninit(&resamplerLayout);
    sws_freeContext(scaler);
    audio.Flush();
    video.Flush();
    avformat_close_input(&format);
  }

  void CloseDevice() {
    if (!device) return;
    waveOutReset(device);
    for (WAVEHDR& h : headers)
      if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device, &h, sizeof(h));
    waveOutClose(device);
    device = nullptr;
  }
};

MediaEngine::MediaEngine(HWND notifyWindow) : notify_(notifyWindow) { worker_ = std::thread([this] { Run(); }); }

MediaEngine::~MediaEngine() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void MediaEngine::SetVideoWindow(HWND window) { videoWindow_.store(window); }

// The states move at once, so that whoever polls never reads the last file's states for the
// new one; what the worker still reports of the last file is dropped (its generation is old).
void MediaEngine::Open(const std::wstring& path, bool playWhenOpen) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requestedPath_ = path;
    openRequested_ = true;
    playWhenOpen_ = playWhenOpen;
    requests_.clear();
    ++generation_;
    path_ = path;
    failure_.clear();
    facts_ = MediaFacts();
    position_ = 0;
    failed_.store(false);
    openState_.store(kOpenMediaOpening);
    playState_.store(kPlayUndefined);
  }
  Post();
  wake_.notify_all();
}

void MediaEngine::Play() { Issue(Command::Play); }
void MediaEngine::Pause() { Issue(Command::Pause); }
void MediaEngine::Stop() { Issue(Command::Stop); }
void MediaEngine::Close() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    openRequested_ = false;
    requests_.clear();
    ++generation_;
    openState_.store(kOpenUndefined);
    playState_.store(kPlayUndefined);
    position_ = 0;
  }
  Post();
  Issue(Command::Close);
}

void MediaEngine::Issue(Command command, double seconds) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.push_back({command, seconds});
  }
  wake_.notify_all();
}

// A request of the worker for the file it opened: dropped when another file was asked for
// meanwhile (that open cleared the queue, and must not find this file's Play in it).
void MediaEngine::IssueForGeneration(Command command) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (workerGeneration_ != generation_) return;
    requests_.push_back({command, 0});
  }
  wake_.notify_all();
}

std::wstring MediaEngine::FailureText() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return failure_;
}

MediaFacts MediaEngine::Facts() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return facts_;
}

std::wstring MediaEngine::Path() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return path_;
}

double MediaEngine::Position() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return position_;
}

bool MediaEngine::SetPosition(double seconds) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (openState_.load() != kOpenMediaOpen || !(seconds >= 0) || seconds >= facts_.durationSeconds) return false;
    position_ = seconds;
  }
  Issue(Command::Seek, seconds);
  return true;
}

void MediaEngine::SetVolume(int percent) { volume_.store(std::clamp(percent, 0, 100)); }
void MediaEngine::SetMute(bool on) { mute_.store(on); }

void MediaEngine::Post() const {
  if (notify_) PostMessageW(notify_, kMsgEngineChanged, 0, 0);
}

// Worker side: only while the worker's file is still the one asked for.
void MediaEngine::SetStates(int open, int play) {
  bool changed;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (workerGeneration_ != generation_) return;
    changed = openState_.exchange(open) != open;
    changed = (playState_.exchange(play) != play) || changed;
  }
  if (changed) Post();
}

void MediaEngine::SetPositionShown(double seconds) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (workerGeneration_ == generation_) position_ = std::max(0.0, seconds);
}

void MediaEngine::PaintVideo(HDC dc, const RECT& client) const {
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  std::lock_guard<std::mutex> hold(pictureMutex_);
  const int cw = client.right - client.left;
  const int ch = client.bottom - client.top;
  if (picture_.empty() || pictureWidth_ > cw || pictureHeight_ > ch) {
    FillRect(dc, &client, black);
    return;
  }
  const int x = client.left + (cw - pictureWidth_) / 2;
  const int y = client.top + (ch - pictureHeight_) / 2;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = pictureWidth_;
  info.bmiHeader.biHeight = -pictureHeight_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, x, y, pictureWidth_, pictureHeight_, 0, 0, 0, pictureHeight_, picture_.data(), &info,
                    DIB_RGB_COLORS);
  // The bars around the picture.
  const RECT bars[4] = {{client.left, client.top, client.right, y},
                        {client.left, y + pictureHeight_, client.right, client.bottom},
                        {client.left, y, x, y + pictureHeight_},
                        {x + pictureWidth_, y, client.right, y + pictureHeight_}};
  for (const RECT& r : bars)
    if (r.right > r.left && r.bottom > r.top) FillRect(dc, &r, black);
}

// ---- The worker ------------------------------------------------------------------------------

void MediaEngine::Run() {
  for (;;) {
    std::wstring path;
    bool play = false;
    {
      std::unique_lock<std::mutex> hold(mutex_);
      wake_.wait(hold, [this] { return quit_ || openRequested_ || !requests_.empty(); });
      if (quit_) return;
      if (!openRequested_) {
        // Commands without anything open: only Close means something (states back to 0).
        const bool close = std::any_of(requests_.begin(), requests_.end(),
                                       [](const Request& r) { return r.command == Command::Close; });
        requests_.clear();
        hold.unlock();
        if (close) SetStates(kOpenUndefined, kPlayUndefined);
        continue;
      }
      path = requestedPath_;
      play = playWhenOpen_;
      openRequested_ = false;
      workerGeneration_ = generation_;
    }
    OpenSession(path, play);
  }
}

namespace {

// Opens the file and its decoders; false with a reason when nothing in it can be played.
bool OpenFile(const std::wstring& path, AVFormatContext*& format, Track& audio, Track& video, std::wstring& reason) {
  if (avformat_open_input(&format, Utf8(path).c_str(), nullptr, nullptr) < 0) {
    reason = L"The file cannot be opened or is not a media file";
    return false;
  }
  if (avformat_find_stream_info(format, nullptr) < 0) {
    reason = L"The file is damaged";
    return false;
  }
  audio.Open(format, AVMEDIA_TYPE_AUDIO);
  video.Open(format, AVMEDIA_TYPE_VIDEO);
  if (!audio.Active() && !video.Active()) {
    reason = L"The file's sound and picture cannot be decoded";
    return false;
  }
  return true;
}

double DurationOf(AVFormatContext* format) {
  if (format->duration > 0) return static_cast<double>(format->duration) / AV_TIME_BASE;
  double longest = 0;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* s = format->streams[i];
    if (s->duration > 0) longest = std::max(longest, Seconds(s->duration, s->time_base));
  }
  return longest;
}

}  // namespace

void MediaEngine::OpenSession(const std::wstring& path, bool play) {
  {
    std::lock_guard<std::mutex> hold(pictureMutex_);
    picture_.clear();
  }

  Session session;
  std::wstring reason;
  if (!OpenFile(path, session.format, session.audio, session.video, reason)) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (workerGeneration_ != generation_) return;
      failure_ = reason;
      failed_.store(true);
    }
    SetStates(kOpenUndefined, kPlayUndefined);
    Post();
    return;
  }
  MediaFacts facts;
  facts.durationSeconds = DurationOf(session.format);
  facts.hasAudio = session.audio.Active();
  if (session.video.Active()) {
    facts.width = session.video.codec->width;
    facts.height = session.video.codec->height;
  }
  facts.title = Tag(session.format->metadata, "title");
  facts.author = Tag(session.format->metadata, "artist");
  if (facts.author.empty()) facts.author = Tag(session.format->metadata, "author");
  facts.album = Tag(session.format->metadata, "album");
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (workerGeneration_ != generation_) return;
    facts_ = facts;
  }
  if (session.format->start_time != AV_NOPTS_VALUE)
    session.startTime = static_cast<double>(session.format->start_time) / AV_TIME_BASE;
  session.frame = av_frame_alloc();
  SetStates(kOpenMediaOpen, kPlayReady);
  if (play) IssueForGeneration(Command::Play);
  Serve(session);
}

// ---- Serving one open file -----------------------------------------------------------------

namespace {

// The next packet for `track`: read ahead ones first, then from the file, keeping packets of
// the other track for later. Null at the end of the file (or a read error, taken as the end),
// or with `notYet` when the other track's queue is full and `mayDropOther` is false.
AVPacket* NextPacket(AVFormatContext* format, bool& endOfFile, Track& track, Track& other, bool mayDropOther,
                     bool& notYet) {
  if (!track.packets.empty()) return track.Take();
  while (!endOfFile) {
    if (!mayDropOther && other.Active() && other.Full()) {
      notYet = true;
      return nullptr;
    }
    AVPacket* p = av_packet_alloc();
    if (!p) return nullptr;
    if (av_read_frame(format, p) < 0) {
      av_packet_free(&p);
      endOfFile = true;
      break;
    }
    if (p->stream_index == track.index) return p;
    if (p->stream_index == other.index && other.Active() && !other.Full())
      other.Queue(p);
    else
      av_packet_free(&p);
  }
  return nullptr;
}

// Decodes the track's next frame into `frame`. False when there is none: the track is
// drained, or (not drained) its next packet must wait for room in the other track's queue.
bool DecodeNext(AVFormatContext* format, bool& endOfFile, Track& track, Track& other, AVFrame* frame,
                bool mayDropOther) {
  bool flushed = false;
  while (!track.drained) {
    const int received = avcodec_receive_frame(track.codec, frame);
    if (received == 0) return true;
    if (received != AVERROR(EAGAIN)) {
      track.drained = true;
      break;
    }
    bool notYet = false;
    AVPacket* packet = NextPacket(format, endOfFile, track, other, mayDropOther, notYet);
    if (packet) {
      avcodec_send_packet(track.codec, packet);  // a damaged packet is skipped
      av_packet_free(&packet);
    } else if (notYet) {
      return false;
    } else if (!flushed) {
      avcodec_send_packet(track.codec, nullptr);
      flushed = true;
    } else {
      track.drained = true;
    }
  }
  return false;
}

// A frame's media time: its time stamp from the file's start; kUnknownTime without one.
double FrameTime(const AVFrame* frame, const AVStream* stream, double startTime) {
  if (frame->best_effort_timestamp == AV_NOPTS_VALUE) return kUnknownTime;
  return Seconds(frame->best_effort_timestamp, stream->time_base) - startTime;
}

// The time between pictures, from the stream's frame rate (25 per second when unknown).
double PictureInterval(const AVStream* stream) {
  const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
  const double interval = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.04;
  return interval > 0 && interval < 10 ? interval : 0.04;
}

int16_t Scaled(int16_t sample, int volume) { return static_cast<int16_t>(sample * volume / 100); }

}  // namespace

bool MediaEngine::TakeRequest(Request& request, bool& reopen) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (quit_ || openRequested_) {
    reopen = true;
    return false;
  }
  if (requests_.empty()) return false;
  request = requests_.front();
  requests_.pop_front();
  return true;
}

namespace {

// The clock: the device's played samples while the sound lasts, else the system clock.
double Clock(MediaEngine::Session& s);

}  // namespace

// Session helpers that need the engine's private types live in this struct.
struct SessionOps {
  using Session = MediaEngine::Session;

  static double WallClock(const Session& s) {
    return s.running ? s.wallBase + (GetTickCount() - s.wallStart) / 1000.0 : s.wallBase;
  }
  static bool SoundClocked(const Session& s) { return s.device && !s.audioDone; }
  static double Now(Session& s) {
    if (!SoundClocked(s)) return WallClock(s);
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(s.device, &time, sizeof(time)) != MMSYSERR_NOERROR || time.wType != TIME_SAMPLES)
      return WallClock(s);
    const int64_t played = std::min<int64_t>(time.u.sample, s.queuedSamples);
    return s.queuedStart + static_cast<double>(played) / s.rate;
  }
  static void RestartWall(Session& s, double at) {
    s.wallBase = at;
    s.wallStart = GetTickCount();
  }

  // The sound device in the stream's rate, at most two channels. Without a device the file
  // plays silently on the system clock.
  static void OpenDevice(Session& s) {
    if (s.device || !s.audio.Active() || s.audioDone) return;
    const AVCodecContext* c = s.audio.codec;
    s.rate = (c->sample_rate >= 8000 && c->sample_rate <= 96000) ? c->sample_rate : 44100;
    s.channels = c->ch_layout.nb_channels >= 2 ? 2 : 1;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(s.channels);
    format.nSamplesPerSec = static_cast<DWORD>(s.rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(s.channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (!s.waveEvent) s.waveEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (waveOutOpen(&s.device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(s.waveEvent), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
      s.device = nullptr;
      s.audioDone = true;
      return;
    }
    const DWORD bytes = static_cast<DWORD>(s.rate * kWaveBufferMs / 1000) * format.nBlockAlign;
    s.waveMemory.assign(static_cast<size_t>(bytes) * kWaveBuffers, 0);
    for (int i = 0; i < kWaveBuffers; ++i) {
      WAVEHDR& h = s.headers[i];
      h = WAVEHDR();
      h.lpData = reinterpret_cast<LPSTR>(&s.waveMemory[static_cast<size_t>(i) * bytes]);
      h.dwBufferLength = bytes;
      waveOutPrepareHeader(s.device, &h, sizeof(h));
    }
  }

  // Converts one decoded sound frame to the device's format and appends it to `pcm`,
  // dropping what lies before a seek target.
  static void AppendSound(Session& s, AVFrame* frame) {
    if (!ResamplerFits(s, frame) && !MakeResampler(s, frame)) return;
    const int room = swr_get_out_samples(s.resampler, frame->nb_samples);
    if (room <= 0) return;
    std::vector<uint8_t> out(static_cast<size_t>(room) * s.channels * 2);
    uint8_t* planes[1] = {out.data()};
    const int made =
        swr_convert(s.resampler, planes, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (made <= 0) return;
    double start = FrameTime(frame, s.audio.stream, s.startTime);
    if (start == kUnknownTime) start = s.pcmStart + static_cast<double>(s.pcm.size() / (s.channels * 2)) / s.rate;
    size_t skip = 0;
    if (start < s.dropBefore) {
      skip = std::min<size_t>(static_cast<size_t>((s.dropBefore - start) * s.rate), static_cast<size_t>(made));
      start += static_cast<double>(skip) / s.rate;
    }
    if (s.pcm.empty()) s.pcmStart = start;
    const size_t block = static_cast<size_t>(s.channels) * 2;
    s.pcm.insert(s.pcm.end(), out.begin() + skip * block, out.begin() + made * block);
  }

  static bool ResamplerFits(const Session& s, const AVFrame* frame) {
    return s.resampler && frame->format == s.resamplerFormat && frame->sample_rate == s.resamplerRate &&
           av_channel_layout_compare(&frame->ch_layout, &s.resamplerLayout) == 0;
  }
  // A sound stream may change its channels, sample format or rate between frames (joined
  // files): the old resampler would read planes the frame does not have.
  static bool MakeResampler(Session& s, AVFrame* frame) {
    swr_free(&s.resampler);
    av_channel_layout_uninit(&s.resamplerLayout);
    s.resamplerFormat = -1;
    if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0) return false;
    AVChannelLayout out;
    av_channel_layout_default(&out, s.channels);
    if (swr_alloc_set_opts2(&s.resampler, &out, AV_SAMPLE_FMT_S16, s.rate, &frame->ch_layout,
                            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
        swr_init(s.resampler) < 0 || av_channel_layout_copy(&s.resamplerLayout, &frame->ch_layout) < 0) {
      swr_free(&s.resampler);
      return false;
    }
    s.resamplerFormat = frame->format;
    s.resamplerRate = frame->sample_rate;
    return true;
  }

  // Queues every free wave buffer with sound, decoding more as needed.
  static void FeedSound(Session& s, int volume) {
    if (!s.device || s.audioDone) return;
    const size_t block = static_cast<size_t>(s.channels) * 2;
    for (WAVEHDR& h : s.headers) {
      if (h.dwFlags & WHDR_INQUEUE) continue;
      const size_t want = s.waveMemory.size() / kWaveBuffers;
      while (s.pcm.size() < want && DecodeNext(s.format, s.endOfFile, s.audio, s.video, s.frame, true)) {
        AppendSound(s, s.frame);
        av_frame_unref(s.frame);
      }
      const size_t bytes = std::min(want, s.pcm.size()) / block * block;
      if (bytes == 0) break;
      if (s.queuedSamples == 0) s.queuedStart = s.pcmStart;
      auto* samples = reinterpret_cast<int16_t*>(h.lpData);
      const auto* source = reinterpret_cast<const int16_t*>(s.pcm.data());
      for (size_t i = 0; i < bytes / 2; ++i) samples[i] = Scaled(source[i], volume);
      s.pcm.erase(s.pcm.begin(), s.pcm.begin() + static_cast<ptrdiff_t>(bytes));
      s.pcmStart += static_cast<double>(bytes / block) / s.rate;
      h.dwBufferLength = static_cast<DWORD>(bytes);
      h.dwFlags &= ~WHDR_DONE;
      if (waveOutWrite(s.device, &h, sizeof(h)) != MMSYSERR_NOERROR) break;
      s.queuedSamples += static_cast<int64_t>(bytes / block);
    }
    if (s.audio.drained && s.pcm.empty() && NothingQueued(s)) {
      // The sound has ended: the system clock carries on from where it stopped.
      RestartWall(s, Now(s));
      s.audioDone = true;
    }
  }
  static bool NothingQueued(const Session& s) {
    for (const WAVEHDR& h : s.headers)
      if (h.dwFlags & WHDR_INQUEUE) return false;
    return true;
  }

  // The next picture not before the seek target, into `pending`. False when the pictures have
  // ended, or when the next one waits for the sound to make room in its queue (sound that no
  // longer plays makes room by dropping its packets).
  static bool NextPicture(Session& s) {
    if (!s.pending) s.pending = av_frame_alloc();
    while (DecodeNext(s.format, s.endOfFile, s.video, s.audio, s.pending, s.audioDone)) {
      s.pendingTime = PictureTime(s);
      if (s.pendingTime + 0.001 >= s.dropBefore) return true;
      av_frame_unref(s.pending);
    }
    if (s.video.drained) s.videoDone = true;
    return false;
  }
  // Pictures without a time stamp follow the last at the stream's frame rate; a time stamp
  // that goes back (joined recordings) is taken as the last one's, so it is due at once
  // instead of after the time it went back.
  static double PictureTime(Session& s) {
    double time = FrameTime(s.pending, s.video.stream, s.startTime);
    if (time == kUnknownTime)
      time = s.lastPictureTime == kUnknownTime ? s.dropBefore : s.lastPictureTime + PictureInterval(s.video.stream);
    else if (s.lastPictureTime != kUnknownTime && time < s.lastPictureTime)
      time = s.lastPictureTime;
    s.lastPictureTime = time;
    return time;
  }

  static void Reset(Session& s, double at) {
    if (s.format)
      av_seek_frame(s.format, -1, static_cast<int64_t>((at + s.startTime) * AV_TIME_BASE), AVSEEK_FLAG_BACKWARD);
    s.audio.Flush();
    s.video.Flush();
    s.endOfFile = false;
    s.pcm.clear();
    if (s.resampler) swr_init(s.resampler);
    if (s.device) waveOutReset(s.device);
    s.queuedSamples = 0;
    s.queuedStart = at;
    if (s.pending) av_frame_unref(s.pending);
    s.pendingTime = -1;
    s.lastPictureTime = kUnknownTime;
    s.audioDone = !s.audio.Active() || (s.running && !s.device);
    s.videoDone = !s.video.Active();
    s.dropBefore = at;
    RestartWall(s, at);
  }
};

namespace {
double Clock(MediaEngine::Session& s) { return SessionOps::Now(s); }
}  // namespace

bool MediaEngine::Apply(Session& s, const Request& request) {
  const int state = playState_.load();
  switch (request.command) {
    case Command::Close: return false;
    case Command::Play:
      if (state == kPlayPlaying) return true;
      if (state == kPlayStopped || state == kPlayMediaEnded) SessionOps::Reset(s, 0);
      SessionOps::OpenDevice(s);
      SessionOps::RestartWall(s, state == kPlayPaused ? s.wallBase : SessionOps::WallClock(s));
      s.running = true;
      if (s.device) waveOutRestart(s.device);
      SetStates(kOpenMediaOpen, kPlayPlaying);
      return true;
    case Command::Pause:
      if (state != kPlayPlaying) return true;
      SessionOps::RestartWall(s, Clock(s));
      s.running = false;
      if (s.device) waveOutPause(s.device);
      SetStates(kOpenMediaOpen, kPlayPaused);
      return true;
    case Command::Stop:
      if (state == kPlayStopped) return true;
      if (s.device) waveOutPause(s.device);
      s.running = false;
      SessionOps::Reset(s, 0);
      SetPositionShown(0);
      SetStates(kOpenMediaOpen, kPlayStopped);
      return true;
    case Command::Seek: {
      const bool playing = state == kPlayPlaying;
      if (s.device && playing) waveOutPause(s.device);
      SessionOps::Reset(s, request.seconds);
      s.running = playing;
      SessionOps::RestartWall(s, request.seconds);
      if (s.device && playing) waveOutRestart(s.device);
      SetPositionShown(request.seconds);
      if (state == kPlayMediaEnded) SetStates(kOpenMediaOpen, kPlayPaused);
      return true;
    }
  }
  return true;
}

void MediaEngine::Serve(Session& s) {
  SessionOps::Reset(s, 0);
  for (;;) {
    Request request;
    bool reopen = false;
    while (TakeRequest(request, reopen))
      if (!Apply(s, request)) {
        SetStates(kOpenUndefined, kPlayUndefined);
        return;
      }
    if (reopen) return;
    if (playState_.load() == kPlayPlaying) {
      Present(s);
      if (s.waveEvent && s.device)
        WaitForSingleObject(s.waveEvent, kIdleWaitMs);
      else
        Sleep(kIdleWaitMs);
    } else {
      std::unique_lock<std::mutex> hold(mutex_);
      wake_.wait_for(hold, std::chrono::milliseconds(50),
                     [this] { return quit_ || openRequested_ || !requests_.empty(); });
    }
  }
}

// One turn of playing: sound queued, the due picture shown, the position published, the end
// noticed.
void MediaEngine::Present(Session& s) {
  SessionOps::FeedSound(s, mute_.load() ? 0 : volume_.load());
  const double now = Clock(s);
  bool show = false;
  // Every picture that is due replaces the one before; only the last is drawn. A few at most
  // per turn, so that requests are served while late pictures are caught up.
  for (int caught = 0; !s.videoDone && caught < kMaxPicturesPerTurn; ++caught) {
    if (s.pendingTime < 0 && !SessionOps::NextPicture(s)) break;
    if (s.pendingTime > now) break;
    show = true;
    ScalePicture(s);
    av_frame_unref(s.pending);
    s.pendingTime = -1;
  }
  if (show) DrawPicture();
  double duration;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    duration = facts_.durationSeconds;
  }
  SetPositionShown(duration > 0 ? std::min(now, duration) : now);
  if (s.audioDone && s.videoDone) {
    s.running = false;
    if (duration > 0) SetPositionShown(duration);
    SetStates(kOpenMediaOpen, kPlayMediaEnded);
  }
}

// The pending picture, scaled to fit the video window with its proportions kept.
void MediaEngine::ScalePicture(Session& s) {
  HWND window = videoWindow_.load();
  RECT client = {};
  if (!window || !GetClientRect(window, &client)) return;
  const AVFrame* f = s.pending;
  const int cw = client.right, ch = client.bottom;
  if (cw < 2 || ch < 2 || f->width < 1 || f->height < 1) return;
  int w = cw, h = static_cast<int>(static_cast<int64_t>(cw) * f->height / f->width);
  if (h > ch) {
    h = ch;
    w = static_cast<int>(static_cast<int64_t>(ch) * f->width / f->height);
  }
  w = std::max(w, 2);
  h = std::max(h, 2);
  s.scaler = sws_getCachedContext(s.scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), w, h,
                                  AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!s.scaler) return;
  std::lock_guard<std::mutex> hold(pictureMutex_);
  picture_.assign(static_cast<size_t>(w) * h, 0);
  uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(picture_.data())};
  const int strides[1] = {w * 4};
  sws_scale(s.scaler, f->data, f->linesize, 0, f->height, planes, strides);
  pictureWidth_ = w;
  pictureHeight_ = h;
}

void MediaEngine::DrawPicture() const {
  HWND window = videoWindow_.load();
  RECT client = {};
  if (!window || !GetClientRect(window, &client)) return;
  if (HDC dc = GetDC(window)) {
    PaintVideo(dc, client);
    ReleaseDC(window, dc);
  }
}

}  // namespace mediactl
}  // namespace crv
