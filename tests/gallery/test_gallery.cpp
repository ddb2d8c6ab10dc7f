// The gallery's files: only the camera's own names are listed, newest first;
// pages of six; removal only of those names; unreadable pictures come back
// empty from the worker, and a turned page drops what it no longer shows.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "activities/galleryFiles.h"
#include "graphic/KImageCodec.h"

namespace fs = std::filesystem;

namespace {

class GalleryFiles : public ::testing::Test {
protected:
  fs::path dir = fs::temp_directory_path() /
                 ("pabrix-gallery-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  void write(const std::string &name, const std::string &bytes = "x") {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  // A 40 x 30 picture: left half red, right half blue.
  std::string png() {
    std::vector<uint8_t> rgba(40 * 30 * 4, 255);
    for (int i = 0; i < 40 * 30; i++) {
      const bool left = i % 40 < 20;
      rgba[i * 4 + 0] = left ? 255 : 0, rgba[i * 4 + 1] = 0, rgba[i * 4 + 2] = left ? 0 : 255;
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(KImageCodec::encode(K_IMAGE_PNG, 40, 30, 4, rgba.data(), 40 * 4, false, out));
    return std::string(out.begin(), out.end());
  }
};

}  // namespace

TEST_F(GalleryFiles, OnlyTheCamerasPicturesNewestFirst) {
  for (const char *name : {"Pabrix 2026-01-02 10-00-00.png", "Pabrix 2026-01-02 10-00-00 (2).png",
                           "Pabrix 2026-01-02 10-00-00 (10).png", "Pabrix 2025-12-31 23-59-59.png",
                           "Pabrix 2026-01-03 08-00-00.png",
                           // not the camera's: other names, another case, other numbers
                           "holiday.png", "Pabrix 2026-01-02 10-00-00.PNG", "pabrix 2026-01-02 10-00-00.png",
                           "Pabrix 2026-1-02 10-00-00.png", "Pabrix 2026-01-02 10-00-00 (1).png",
                           "Pabrix 2026-01-02 10-00-00 (02).png", "Pabrix 2026-01-02 10-00-00 (100).png",
                           "Pabrix 2026-01-02 10-00-00.png.tmp123"})
    write(name);
  fs::create_directory(dir / "Pabrix 2026-02-01 10-00-00.png");  // a folder
  std::error_code noLinks;  // a system without links skips that case
  fs::create_symlink(dir / "holiday.png", dir / "Pabrix 2026-02-02 10-00-00.png", noLinks);
  const std::vector<std::string> expected = {
      "Pabrix 2026-01-03 08-00-00.png", "Pabrix 2026-01-02 10-00-00 (10).png",
      "Pabrix 2026-01-02 10-00-00 (2).png", "Pabrix 2026-01-02 10-00-00.png",
      "Pabrix 2025-12-31 23-59-59.png"};
  EXPECT_EQ(listCameraPictures(dir.string()), expected);
  EXPECT_TRUE(listCameraPictures((dir / "missing").string()).empty());

  EXPECT_EQ(galleryPages(0), 1);
  EXPECT_EQ(galleryPages(6), 1);
  EXPECT_EQ(galleryPages(7), 2);
  EXPECT_EQ(galleryPages(500), 84);

  EXPECT_FALSE(removeCameraPicture(dir.string(), "holiday.png"));
  if (!noLinks) EXPECT_FALSE(removeCameraPicture(dir.string(), "Pabrix 2026-02-02 10-00-00.png")) << "a link";
  EXPECT_FALSE(removeCameraPicture(dir.string(), "Pabrix 2026-02-01 10-00-00.png")) << "a folder";
  EXPECT_TRUE(fs::exists(dir / "holiday.png"));
  EXPECT_TRUE(removeCameraPicture(dir.string(), expected[0]));
  EXPECT_FALSE(fs::exists(dir / expected[0]));
  EXPECT_EQ(listCameraPictures(dir.string()).size(), 4u);
}

TEST_F(GalleryFiles, TheWorkerShrinksPicturesAndGivesBackEmptyOnesForDamagedFiles) {
  write("Pabrix 2026-01-02 10-00-00.png", png());
  write("Pabrix 2026-01-02 10-00-01.png", png().substr(0, 60));  // truncated
  PictureLoader loader;
  loader.request(7, (dir / "Pabrix 2026-01-02 10-00-00.png").string(), 20, 20);
  loader.request(8, (dir / "Pabrix 2026-01-02 10-00-01.png").string(), 20, 20);
  std::vector<sFittedPicture> got;
  for (int i = 0; i < 6000 && got.size() < 2; i++) {  // up to 30 s on a loaded machine
    sFittedPicture p;
    if (loader.take(p)) got.push_back(std::move(p)); else std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].key, 7);
  EXPECT_EQ(got[0].width, 20) << "aspect kept, never enlarged";
  EXPECT_EQ(got[0].height, 15);
  EXPECT_EQ(got[0].pixels[0], 0xFF0000FFu) << "red, opaque";
  EXPECT_EQ(got[0].pixels[19], 0xFFFF0000u) << "blue";
  EXPECT_EQ(got[1].key, 8);
  EXPECT_EQ(got[1].width, 0) << "an empty frame";

  // A cancel drops what was asked before it.
  for (int i = 0; i < 50; i++) loader.request(i, (dir / "Pabrix 2026-01-02 10-00-00.png").string(), 20, 20);
  loader.cancel();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  sFittedPicture p;
  int late = 0;
  while (loader.take(p)) late++;
  EXPECT_EQ(late, 0);
}
