#include "converter/tests/movie_tools.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace conv_test {

bool Run(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return false;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = text;
  return status == 0;
}

bool MakeSource(Source kind, const std::string& path, double seconds, int width, int height) {
  std::ostringstream cmd;
  cmd << CRV_FFMPEG << " -nostdin -hide_banner -loglevel error -y";
  std::string video = " -f lavfi -i testsrc=size=" + std::to_string(width) + "x" + std::to_string(height) +
                      ":rate=15:duration=" + std::to_string(seconds);
  std::string sound = " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds);
  switch (kind) {
    case Source::kMjpegAvi:
      cmd << video << sound << " -ac 2 -c:v mjpeg -q:v 4 -c:a pcm_s16le -f avi";
      break;
    case Source::kSorensonMov:
      cmd << video << sound << " -ac 2 -c:v svq1 -c:a pcm_s16be -f mov";
      break;
    case Source::kMpeg4Mp4:
      cmd << video << sound << " -ac 2 -c:v mpeg4 -q:v 4 -c:a aac -b:a 96k -movflags +faststart -f mp4";
      break;
    case Source::kSilentAvi:
      cmd << video << " -c:v mjpeg -q:v 4 -f avi";
      break;
    case Source::kSoundWav:
      cmd << sound << " -ac 2 -c:a pcm_s16le -f wav";
      break;
  }
  cmd << " '" << path << "'";
  return Run(cmd.str());
}

const Fields* Probe::Stream(const std::string& codecType) const {
  for (const Fields& s : streams) {
    auto type = s.find("codec_type");
    if (type != s.end() && type->second == codecType) return &s;
  }
  return nullptr;
}

Probe ProbeMovie(const std::string& path) {
  Probe probe;
  std::string text;
  if (!Run(std::string(CRV_FFPROBE) + " -v error -show_format -show_streams '" + path + "'", &text)) return probe;
  std::istringstream lines(text);
  std::string line;
  Fields* current = nullptr;
  while (std::getline(lines, line)) {
    if (line == "[STREAM]") {
      probe.streams.emplace_back();
      current = &probe.streams.back();
    } else if (line == "[FORMAT]") {
      current = &probe.format;
    } else if (line.size() > 1 && line[0] == '[') {
      current = nullptr;
    } else if (current) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) (*current)[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  probe.ok = true;
  return probe;
}

std::vector<std::string> TopLevelAtoms(const std::string& path) {
  std::vector<std::string> atoms;
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  long long size = in.tellg(), at = 0;
  while (at + 8 <= size) {
    in.seekg(at);
    unsigned char header[16];
    in.read(reinterpret_cast<char*>(header), 8);
    unsigned long long atomSize = 0;
    for (int i = 0; i < 4; ++i) atomSize = atomSize << 8 | header[i];
    atoms.emplace_back(reinterpret_cast<char*>(header + 4), 4);
    if (atomSize == 1) {
      in.read(reinterpret_cast<char*>(header + 8), 8);
      atomSize = 0;
      for (int i = 8; i < 16; ++i) atomSize = atomSize << 8 | header[i];
    }
    if (atomSize < 8) break;
    at += static_cast<long long>(atomSize);
  }
  return atoms;
}

}  // namespace conv_test
