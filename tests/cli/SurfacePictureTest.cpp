// tandor-cli render --png3d: the surface in space, rendered with no display.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/SurfacePicture.h"

namespace tandor {
namespace {

namespace fs = std::filesystem;

class SurfacePictureTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tandor-png3d-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    // The fold (u^2, v, u^3 - uv): L is v = u^2, drawn by the Descent tracer in blue.
    std::ofstream(Path("fold.tdr"), std::ios::binary)
        << "u^2\r\nv\r\nu^3 - u v\r\n-1\r\n1\r\n-1\r\n1\r\n0\r\n2\r\n0\r\n3\r\n1\r\n0\r\n";
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Path(const std::string &name) const { return (folder / name).string(); }

  int Cli(std::vector<std::string> words) {
    words.insert(words.begin(), {"tandor-cli", "render", Path("fold.tdr")});
    std::vector<char *> argv;
    for (auto &w : words)
      argv.push_back(w.data());
    std::ostringstream o, e;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), o, e);
    err = e.str();
    return status;
  }

  static int Count(const QImage &image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        n += image.pixelColor(x, y) == colour ? 1 : 0;
    return n;
  }

  fs::path folder;
  std::string err;
};

TEST_F(SurfacePictureTest, WritesTheShadedSurfaceWithItsDoubleCurve) {
  const std::string png = Path("fold3d.png");
  ASSERT_EQ(Cli({"--png3d", png, "--size", "240"}), 0) << err;
  EXPECT_EQ(err, "");
  const QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.size(), QSize(240, 240));
  EXPECT_NE(image.pixelColor(120, 120), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(239, 0), QColor(Qt::white));
  EXPECT_GT(Count(image, QColor(0, 0, 255)), 30);

  // Another direction gives another picture of the same size.
  const std::string side = Path("side.png");
  ASSERT_EQ(Cli({"--png3d", side, "--size", "240", "--view", "90,-10.5"}), 0) << err;
  EXPECT_NE(QImage(QString::fromStdString(side)), image);
  for (const auto &entry : fs::directory_iterator(folder)) // no temporary file left behind
    EXPECT_TRUE(entry.path().extension() == ".png" || entry.path().extension() == ".tdr")
        << entry.path();
}

TEST_F(SurfacePictureTest, ReplacesAnOldFileWholeAndReportsAnUnwritablePath) {
  const std::string png = Path("old.png");
  std::ofstream(png) << "not a picture";
  ASSERT_EQ(Cli({"--png3d", png, "--size", "64"}), 0) << err;
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(64, 64));

  const std::string nowhere = Path("missing/folder/out.png");
  EXPECT_EQ(Cli({"--png3d", nowhere}), 1);
  EXPECT_EQ(err.rfind("tandor-cli: " + nowhere + ": ", 0), 0u) << err;
  EXPECT_FALSE(fs::exists(Path("missing")));
}

TEST_F(SurfacePictureTest, AViewMustBeTwoNumbers) {
  for (const char *bad : {"10", "a,b", "1,2,3", ",", "1e999,0"}) {
    EXPECT_EQ(Cli({"--png3d", Path("x.png"), "--view", bad}), 2) << bad;
    EXPECT_NE(err.find("the view must be two numbers of degrees, YAW,PITCH"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(Path("x.png")));
  const auto view = ParseViewDirection("-55,25.5");
  ASSERT_TRUE(view);
  EXPECT_EQ(view->YawDegrees, -55.0);
  EXPECT_EQ(view->PitchDegrees, 25.5);
}

} // namespace
} // namespace tandor
