// SPDX-License-Identifier: GPL-3.0-or-later
// The same frames drawn by either renderer backend. Runs the game's own start-up on a map
// (or the shipped episode) in a real window under Xvfb with a fixed seed, puts the player
// in several places, runs a fixed number of steps at each and writes every painted window
// (scene, panels, texts, status picture) as a binary PPM. A second mode compares two such
// frames: at most 0.5 % of the pixels may differ, and those by at most a few levels.
//
//   orrindel-framecheck GAME_FOLDER MAP.orx|episode gl1|es3 OUT_PREFIX
//   orrindel-framecheck --compare A.ppm B.ppm
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "../support/GlSnapshot.h"
#include "app/UProgram.h"
#include "core/UMainModule.h"
#include "entities/UEntityStructures.h"
#include "render/UGameRender.h"
#include "scene/backend/RenderBackend.h"
#include "session/UGameModule.h"

namespace orr {
namespace {

// What the comparison allows (see Compare): the share of pixels that may differ at all, and
// how many levels of 255 a channel may be off.
constexpr double MaxDifferingShare = 0.005;
constexpr int FewLevels = 8;
constexpr double MaxFarShare = 0.0001;

std::string outPrefix;
int written = 0;
bool started = false;

bool WritePpm(const std::string& path, const TBitmap32& picture) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << picture.Width() << ' ' << picture.Height() << "\n255\n";
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const TColor32 c = picture.Pixel(x, y);
      const char rgb[3] = {char((c >> 16) & 255), char((c >> 8) & 255), char(c & 255)};
      out.write(rgb, 3);
    }
  return bool(out);
}

struct TPpm {
  int Width = 0, Height = 0;
  std::vector<unsigned char> Rgb;
};

bool ReadPpm(const std::string& path, TPpm& ppm) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  if (!(in >> magic >> ppm.Width >> ppm.Height >> maxValue) || magic != "P6" || maxValue != 255 ||
      ppm.Width <= 0 || ppm.Height <= 0 || ppm.Width > 16384 || ppm.Height > 16384)
    return false;
  in.get();
  ppm.Rgb.resize(std::size_t(ppm.Width) * ppm.Height * 3);
  return bool(in.read(reinterpret_cast<char*>(ppm.Rgb.data()), std::streamsize(ppm.Rgb.size())));
}

// Exit 0 when the frames agree: no more than 0.5 % of the pixels differ at all, and no more
// than one in 10,000 (edge pixels where a triangle's border falls the other way) by more
// than a few levels.
int Compare(const std::string& a, const std::string& b) {
  TPpm pa, pb;
  if (!ReadPpm(a, pa) || !ReadPpm(b, pb)) {
    std::fprintf(stderr, "FAIL: cannot read %s or %s as a binary PPM\n", a.c_str(), b.c_str());
    return 1;
  }
  if (pa.Width != pb.Width || pa.Height != pb.Height) {
    std::fprintf(stderr, "FAIL: %s is %dx%d, %s is %dx%d\n", a.c_str(), pa.Width, pa.Height, b.c_str(),
                 pb.Width, pb.Height);
    return 1;
  }
  const long pixels = long(pa.Width) * pa.Height;
  long differing = 0, farOff = 0;
  int largest = 0;
  for (long i = 0; i < pixels; ++i) {
    int d = 0;
    for (int k = 0; k < 3; ++k) d = std::max(d, std::abs(int(pa.Rgb[i * 3 + k]) - int(pb.Rgb[i * 3 + k])));
    differing += d > 0;
    farOff += d > FewLevels;
    largest = std::max(largest, d);
  }
  const double share = double(differing) / double(pixels);
  const bool ok = share <= MaxDifferingShare && double(farOff) <= MaxFarShare * double(pixels);
  std::printf("%s %s: %ld of %ld pixels differ (%.4f %%), %ld by more than %d levels, at most %d\n",
              ok ? "same" : "FAIL:", b.c_str(), differing, pixels, 100 * share, farOff, FewLevels, largest);
  return ok ? 0 : 1;
}

void Frames(TApplication& app) {
  app.ProcessMessages();
  if (app.Terminated() || PlayerRecords.empty() || PlayerRecords.front()->Player == nullptr) {
    std::fprintf(stderr, "FAIL: the session did not start\n");
    return;
  }
  if (LiveRenderer() == nullptr || LiveRenderer()->Kind() != RequestedRenderer()) {
    std::fprintf(stderr, "FAIL: the window did not get the %s renderer\n",
                 RendererKindName(RequestedRenderer()));
    return;
  }
  std::printf("renderer: %s\n", LiveRenderer()->Description().c_str());
  started = true;
  TForm& form = *app.MainForm;
  form.Show();
  auto* snapshot = TComponent::Create<test::TGlSnapshot>(&form, form.Width, form.Height);
  snapshot->SetParent(&form);  // painted last: reads the whole window
  TBasicPlayer* player = PlayerRecords.front()->Player;
  const int w = GameMap.MapSize.X, h = GameMap.MapSize.Y;
  auto within = [](float v, int side) { return std::clamp(v, 0.5f, side - 0.5f); };
  const std::pair<const char*, TVector> places[] = {
      {"start", player->GetPosition()},
      {"middle", {w / 2.0f, h / 2.0f, 0, 0}},
      {"left", {within(3.5f, w), h / 3.0f, 0, 0}},
      {"corner", {within(w - 4.5f, w), within(h - 4.5f, h), 0, 0}}};
  for (const auto& [where, at] : places) {
    TVector p = player->GetPosition();
    p.X = at.X;
    p.Y = at.Y;
    player->SetPosition(p);
    for (int steps : {3, 60}) {
      RunFrameSteps(steps);
      form.PaintAll();
      const std::string path = outPrefix + "-" + where + "-" + std::to_string(steps) + ".ppm";
      if (!WritePpm(path, snapshot->Picture)) {
        std::fprintf(stderr, "FAIL: cannot write %s\n", path.c_str());
        return;
      }
      std::printf("%s\n", path.c_str());
      ++written;
    }
  }
}

}  // namespace
}  // namespace orr

int main(int argc, char** argv) {
  using namespace orr;
  if (argc == 4 && std::string(argv[1]) == "--compare") return Compare(argv[2], argv[3]);
  TRendererKind kind;
  if (argc != 5 || !ParseRendererKind(argv[3], kind)) {
    std::fprintf(stderr,
                 "usage: orrindel-framecheck GAME_FOLDER MAP.orx|episode gl1|es3 OUT_PREFIX\n"
                 "       orrindel-framecheck --compare A.ppm B.ppm\n");
    return 2;
  }
  RequestRenderer(kind);
  SetExecutableFileName(std::string(argv[1]) + "/orrindel");
  LogSaveEnabled = false;
  if (std::string(argv[2]) != "episode") EpisodeMapOverride = argv[2];
  outPrefix = argv[4];
  const int code = RunProgram(CreateSdlBackend(), GameCreationSteps(ReproducibleStart(7)), Frames);
  if (code != 0) return code;
  return started && written > 0 ? 0 : 1;
}
