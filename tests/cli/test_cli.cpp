// Runs the built kvadra program as a subprocess, as scripts do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "KvadraProgram.h"
#include "PngFileWriter.h"
#include "TiffFileWriter.h"

namespace fs = std::filesystem;
using kvtest::Cells;
using kvtest::ReadFile;
using kvtest::sProgramResult;

namespace {

class CliTest : public kvtest::KvadraProgramTest {
protected:
  // A copy of the program whose plug-in folder also holds the test operations: the program
  // finds its packages beside its own file.
  std::string ProgramWithTestPackage()
  {
    const fs::path bin(KV_BIN_DIR), copy = Dir / "program";
    fs::create_directories(copy / "plug-ins");
    fs::copy_file(bin / "kvadra", copy / "kvadra");
    for (auto& e : fs::directory_iterator(bin))
      if (e.path().extension() == ".so") fs::create_symlink(e.path(), copy / e.path().filename());
    for (auto& e : fs::directory_iterator(bin / "plug-ins"))
      fs::create_symlink(e.path(), copy / "plug-ins" / e.path().filename());
    const fs::path test = fs::path(KV_TEST_PACKAGE_DIR) / "010pkServerTest.so";
    fs::create_symlink(test, copy / "plug-ins" / "999pkServerTest.so");
    return (copy / "kvadra").string();
  }

  // Files in the working folder.
  std::vector<std::string> FilesLeft() const
  {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(Dir)) names.push_back(e.path().filename().string());
    return names;
  }

  const std::string Camera = std::string(KV_SAMPLES_DIR) + "camera.bmp";
  const std::string Coins = std::string(KV_SAMPLES_DIR) + "coins.bmp";
};

}  // namespace

TEST_F(CliTest, ListShowsEveryOperationInPackageOrder)
{
  const sProgramResult r = Run({"list"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  std::vector<std::string> names;
  std::vector<std::string> parameterLines;
  for (auto& row : Cells(r.Out)) {
    if (!row.empty() && row[0].empty()) {
      parameterLines.push_back(row.size() > 2 ? row[2] : "");
      continue;
    }
    ASSERT_EQ(row.size(), 4u);
    EXPECT_EQ(row[0], std::to_string(names.size() + 1)) << "UIDs are dense and in order";
    names.push_back(row[3]);
  }
  const std::vector<std::string> expected = {"Resample",
                                             "Different Filter",
                                             "Laplasian Filter",
                                             "Gradient Filter",
                                             "Wiener Filter",
                                             "Arithmetic Mean",
                                             "Geometric Mean",
                                             "Harmonic Mean",
                                             "Contraharmonic Mean",
                                             "Maximum Filter",
                                             "Minimum Filter",
                                             "Max-Min Filter",
                                             "Median Filter",
                                             "Adaptive Median Filter",
                                             "Foolish Detector Median Filter",
                                             "PSM Filter",
                                             "APSM Filter",
                                             "Non-Local Means",
                                             "BM3D Filter",
                                             "Total Variation Filter",
                                             "Wavelet Shrinkage Filter",
                                             "Bilateral",
                                             "Trilateral",
                                             "ROAD filter",
                                             "SD-ROM",
                                             "Gaussian Noise",
                                             "Exponential Noise",
                                             "Rayleigh Noise",
                                             "Speckle Noise",
                                             "Salt-and-Pepper Noise",
                                             "Salt Noise",
                                             "Pepper Noise",
                                             "Random Valued (uniform) Noise",
                                             "Random Valued (gaussian) Noise",
                                             "Poisson Noise",
                                             "Poisson-Gaussian Noise",
                                             "Streaks Noise",
                                             "JPEG",
                                             "Lee Filter",
                                             "Tamsel Filter",
                                             "Truncated Mean",
                                             "Foolish detector-Smart filter",
                                             "Desaturate",
                                             "Invert",
                                             "Flip Horizontal",
                                             "Flip Vertical",
                                             "Rotate 180",
                                             "Rotate 90 CCW",
                                             "Rotate 90 CW"};
  EXPECT_EQ(names, expected);
  // The resampler's three parameters come first, the choice list last.
  ASSERT_GE(parameterLines.size(), 3u);
  EXPECT_EQ(parameterLines[0], "NewWidth");
  EXPECT_NE(r.Out.find("\t2\tResampleType\tenumerated\t0\t2\tNearestNeighbor\tNearestNeighbor|Bilinear|Bicubic\n"),
            std::string::npos);
}

TEST_F(CliTest, ListJsonIsAnArrayOfOperations)
{
  const sProgramResult r = Run({"list", "--json"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out.front(), '[');
  EXPECT_NE(r.Out.find("{\"uid\":1,\"type\":\"otBuiltIn\",\"group\":\"AbstructGroup\",\"name\":\"Resample\""),
            std::string::npos);
  EXPECT_NE(r.Out.find("\"choices\":[\"NearestNeighbor\",\"Bilinear\",\"Bicubic\"]"), std::string::npos);
}

TEST_F(CliTest, RunPrintsOneLinePerHistoryEntryMatchingADirectComputation)
{
  const sProgramResult r = Run({"run", Camera, "--op", "Salt-and-Pepper Noise", "--set", "Noise percent=0.1", "--op",
                                "Median Filter", "--out", "restored.bmp", "--history", "history.csv", "--seed", "7"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const auto rows = Cells(r.Out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"id", "title", "MSE", "PSNR", "IQ", "IQHVS", "SSIM", "time_ms"}));
  EXPECT_EQ(rows[1][1], "Load 'camera.bmp'");
  EXPECT_EQ(rows[1][2], "0");
  EXPECT_EQ(rows[1][3], "inf");
  EXPECT_EQ(rows[2][1], "Salt-and-Pepper Noise (NP=0.1)");
  EXPECT_EQ(rows[3][0], "2");
  for (auto& row : rows) {
    ASSERT_EQ(row.size(), 8u);
    for (auto& cell : row) EXPECT_NE(cell, "wait");
  }

  // The restored picture's MSE and PSNR by the plain formula.
  cImage origin, restored;
  ASSERT_TRUE(origin.LoadImage(Camera));
  ASSERT_TRUE(restored.LoadImage((Dir / "restored.bmp").string()));
  const double mse = kvtest::MSE(*origin.GetSurface(), *restored.GetSurface());
  EXPECT_DOUBLE_EQ(std::stod(rows[3][2]), mse);
  EXPECT_NEAR(std::stod(rows[3][3]), 10 * std::log10(255.0 * 255.0 / mse), 1e-9);
  EXPECT_LT(mse, std::stod(rows[2][2])) << "the median filter must improve on the noisy picture";

  const std::string csv = ReadFile(Dir / "history.csv");
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "id,title,MSE,PSNR,IQ,IQHVS,SSIM,time_ms");
  EXPECT_NE(csv.find("\r\n1,Salt-and-Pepper Noise (NP=0.1),"), std::string::npos);
}

TEST_F(CliTest, SameSeedGivesIdenticalOutputs)
{
  const std::vector<std::string> base = {"run", Camera, "--op", "Gaussian Noise", "--op", "Salt Noise", "--seed", "42"};
  auto first = base;
  first.insert(first.end(), {"--out", "a.bmp"});
  auto second = base;
  second.insert(second.end(), {"--out", "b.bmp"});
  const sProgramResult a = Run(first), b = Run(second);
  ASSERT_EQ(a.Code, 0) << a.Err;
  ASSERT_EQ(b.Code, 0) << b.Err;
  EXPECT_EQ(ReadFile(Dir / "a.bmp"), ReadFile(Dir / "b.bmp"));
  auto strip = [](const std::string& table) {  // the time column differs from run to run
    std::string out;
    for (auto& row : Cells(table)) {
      for (size_t i = 0; i + 1 < row.size(); ++i) out += row[i] + "\t";
      out += "\n";
    }
    return out;
  };
  EXPECT_EQ(strip(a.Out), strip(b.Out));

  auto third = base;
  third[7] = "43";
  third.insert(third.end(), {"--out", "c.bmp"});
  ASSERT_EQ(Run(third).Code, 0);
  EXPECT_NE(ReadFile(Dir / "a.bmp"), ReadFile(Dir / "c.bmp"));
}

TEST_F(CliTest, RegionLeavesOutsidePixelsUntouched)
{
  const sProgramResult r = Run({"run", Coins, "--op", "Invert", "--region", "10,20,30,40", "--out", "inv.bmp"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  cImage origin, result;
  ASSERT_TRUE(origin.LoadImage(Coins));
  ASSERT_TRUE(result.LoadImage((Dir / "inv.bmp").string()));
  EXPECT_EQ(kvtest::Pixel(*result.GetSurface(), 15, 25), 255 - kvtest::Pixel(*origin.GetSurface(), 15, 25));
  EXPECT_EQ(kvtest::Pixel(*result.GetSurface(), 9, 25), kvtest::Pixel(*origin.GetSurface(), 9, 25));
  EXPECT_EQ(kvtest::Pixel(*result.GetSurface(), 15, 40), kvtest::Pixel(*origin.GetSurface(), 15, 40));
  // The region entry is measured like any other.
  const auto rows = Cells(r.Out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_GT(std::stod(rows[2][2]), 0.0);
}

TEST_F(CliTest, MeasureOfAPictureAgainstItself)
{
  const sProgramResult r = Run({"measure", Camera, "--origin", Camera, "--window", "7x7"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const auto rows = Cells(r.Out);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(r.Out.substr(0, r.Out.find("Noise sigma")), "MSE\t0\nPSNR\tinf\nIQ\t1\nIQHVS\t1\nSSIM\t1\n");
  // The picture's own noise level, the same as 'estimate' gives.
  EXPECT_EQ(rows[5], Cells(Run({"estimate", Camera}).Out)[0]);
}

TEST_F(CliTest, EstimatePrintsTheMeanAndEveryChannel)
{
  const sProgramResult grey = Run({"estimate", Camera});
  ASSERT_EQ(grey.Code, 0) << grey.Err;
  const auto g = Cells(grey.Out);
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0][0], "Noise sigma");
  EXPECT_EQ(g[1][0], "Grey");
  EXPECT_EQ(g[1][1], g[0][1]);
  EXPECT_GT(std::stod(g[0][1]), 0.0);

  const sProgramResult colour = Run({"estimate", std::string(KV_SAMPLES_DIR) + "astronaut.bmp"});
  ASSERT_EQ(colour.Code, 0) << colour.Err;
  const auto c = Cells(colour.Out);
  ASSERT_EQ(c.size(), 4u);
  const char* const names[] = {"Red", "Green", "Blue"};
  double sum = 0;
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(c[i][0], names[i - 1]);
    sum += std::stod(c[i][1]);
  }
  EXPECT_NEAR(std::stod(c[0][1]), sum / 3, 1e-9);
}

TEST_F(CliTest, AnalyzeSweepsTheParameterInEqualSteps)
{
  const sProgramResult r =
      Run({"analyze", Coins, "--corrupt", "Salt-and-Pepper Noise", "--sweep", "Noise percent", "0", "0.5", "5",
           "--restore", "Median Filter", "--restore", "Median Filter:Width size=5;Height size=5", "--seed", "3",
           "--csv", "sweep.csv", "--json", "sweep.json"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const auto rows = Cells(r.Out);
  ASSERT_EQ(rows.size(), 7u);
  ASSERT_EQ(rows[0].size(), 3u);
  EXPECT_EQ(rows[0][0], "Noise percent");
  EXPECT_EQ(rows[0][1], "Median Filter (WS=3;HS=3)");
  EXPECT_EQ(rows[0][2], "Median Filter (WS=5;HS=5)");
  const double xs[] = {0, 0.1, 0.2, 0.3, 0.4, 0.5};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(std::stod(rows[size_t(i + 1)][0]), xs[i], 1e-9);
  EXPECT_TRUE(fs::exists(Dir / "sweep.csv"));
  EXPECT_NE(ReadFile(Dir / "sweep.json").find("\"criterion\":\"PSNR\""), std::string::npos);
}

TEST_F(CliTest, AnalyzeStoppedBetweenRestorationsWritesEachSeriesUpToItsOwnLength)
{
  // A flat picture of 100 shifted by 10, 15, 20: a copy's MSE is the square of the shift.
  cBMPSurface flat;
  kvtest::Fill(flat, 16, 12, 1, [](int, int, int) { return uint8_t(100); });
  ASSERT_TRUE(flat.SaveImage((Dir / "flat.bmp").string()));
  const std::string program = ProgramWithTestPackage();
  struct sCase {
    std::string Middle;  // the restoration between a copy and an inversion; acts at shift 15
    int Code;
    std::string Message;
    std::string SecondRow;  // tab-separated, missing points empty
    std::string JsonEnd;
  };
  const std::vector<sCase> cases = {
      {"Test Interrupt:Limit=112", 130, "analyze cancelled; the points made so far were written", "15\t225\t225\t\n",
       "\"cancelled\":true,\"failure\":null"},
      {"Test Fail Above:Limit=112", 1, "Test operation failed above its limit", "15\t225\t\t\n",
       "\"cancelled\":false,\"failure\":\"Test operation failed above its limit\""},
  };
  for (const sCase& c : cases) {
    SCOPED_TRACE(c.Middle);
    const sProgramResult r =
        RunProgram(program, {"analyze", "flat.bmp",    "--corrupt", "Test Shift", "--sweep",   "Amount", "10",
                             "20",      "2",           "--restore", "Test Copy",  "--restore", c.Middle, "--restore",
                             "Invert",  "--criterion", "MSE",       "--csv",      "a.csv",     "--json", "a.json"});
    EXPECT_EQ(r.Code, c.Code) << r.Err;
    EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("Assertion"), std::string::npos) << r.Err;
    const size_t firstRow = r.Out.find('\n') + 1;
    // Inverting a flat 110 gives 145: an error of 45.
    EXPECT_EQ(r.Out.substr(firstRow), "10\t100\t100\t2025\n" + c.SecondRow) << r.Out;
    std::string csv = c.SecondRow;
    std::replace(csv.begin(), csv.end(), '\t', ',');
    csv.insert(csv.size() - 1, "\r");
    const std::string csvText = ReadFile(Dir / "a.csv");
    EXPECT_EQ(csvText.substr(csvText.find("\r\n") + 2), "10,100,100,2025\r\n" + csv);
    const std::string json = ReadFile(Dir / "a.json");
    EXPECT_NE(json.find(c.JsonEnd), std::string::npos) << json;
    EXPECT_NE(json.find("\"Invert ()\":null}"), std::string::npos) << json;
    EXPECT_EQ(json.find("nan"), std::string::npos) << json;
  }
}

TEST_F(CliTest, SpectrumWritesAPictureOfTheSameSize)
{
  const sProgramResult r = Run({"spectrum", Coins, "--kind", "phase", "--out", "phase.bmp"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  cImage spectrum;
  ASSERT_TRUE(spectrum.LoadImage((Dir / "phase.bmp").string()));
  EXPECT_EQ(spectrum.GetWidth(), 384);
  EXPECT_EQ(spectrum.GetHeight(), 303);
}

TEST_F(CliTest, PngAndSixteenBitTiffAreReadAndPngWrittenWithTheReferencePixels)
{
  // A 16-bit RGB TIFF in tiles, read as libtiff's own RGBA reader reads it, inverted, saved as PNG.
  kvtest::TiffFileWriter tiff;
  tiff.Width = 40;
  tiff.Height = 24;
  tiff.Bits = 16;
  tiff.Tile = 16;
  tiff.Compression = COMPRESSION_ADOBE_DEFLATE;
  tiff.Sample = [](int x, int y, int k) { return uint32_t((x * 1601 + y * 2711 + k * 9001) % 65536); };
  const std::string tiffFile = (Dir / "deep.tif").string();
  ASSERT_TRUE(tiff.Write(tiffFile));
  std::vector<uint32_t> reference(40 * 24);
  TIFF* tif = TIFFOpen(tiffFile.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  ASSERT_TRUE(TIFFReadRGBAImageOriented(tif, 40, 24, reference.data(), ORIENTATION_TOPLEFT, 0));
  TIFFClose(tif);
  const sProgramResult r = Run({"run", tiffFile, "--op", "Invert", "--out", "inverted.png"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  cImage inverted;
  ASSERT_TRUE(inverted.LoadImage((Dir / "inverted.png").string()));
  ASSERT_EQ(inverted.GetWidth(), 40);
  ASSERT_EQ(inverted.GetHeight(), 24);
  int differences = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 40; ++x) {
      const uint32_t p = reference[size_t(y * 40 + x)];
      cBMPSurface& s = *inverted.GetSurface();
      differences += kvtest::Pixel(s, x, y, 0) != 255 - int(TIFFGetB(p));
      differences += kvtest::Pixel(s, x, y, 1) != 255 - int(TIFFGetG(p));
      differences += kvtest::Pixel(s, x, y, 2) != 255 - int(TIFFGetR(p));
    }
  EXPECT_EQ(differences, 0);

  // An RGBA PNG, read as libpng's simplified reader reads it; the dropped alpha is told.
  kvtest::PngFileWriter png;
  png.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
  png.Width = 30;
  png.Height = 20;
  const auto bytes = png.Encode();
  {
    std::ofstream(Dir / "leaf.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
  const sProgramResult p = Run({"run", (Dir / "leaf.png").string(), "--op", "Invert", "--out", "leaf.bmp"});
  ASSERT_EQ(p.Code, 0) << p.Err;
  EXPECT_NE(p.Out.find("Load 'leaf.png' (alpha dropped)"), std::string::npos) << p.Out;
  cImage leaf;
  ASSERT_TRUE(leaf.LoadImage((Dir / "leaf.bmp").string()));
  differences = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      for (int c = 0; c < 3; ++c)
        differences += kvtest::Pixel(*leaf.GetSurface(), x, y, c) != 255 - pixels[size_t(y * 30 + x) * 4 + size_t(c)];
  EXPECT_EQ(differences, 0);

  const sProgramResult spectrum =
      Run({"spectrum", (Dir / "leaf.png").string(), "--kind", "magnitude", "--out", "m.PNG"});
  ASSERT_EQ(spectrum.Code, 0) << spectrum.Err;
  cImage magnitude;
  ASSERT_TRUE(magnitude.LoadImage((Dir / "m.PNG").string()));
  EXPECT_EQ(magnitude.GetWidth(), 30);
}

TEST_F(CliTest, ErrorsGiveOneLineAndTheirExitCodeAndWriteNothing)
{
  struct sCase {
    std::vector<std::string> Args;
    int Code;
    std::string Fragment;
  };
  const std::vector<sCase> cases = {
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"lst"}, 2, "did you mean 'list'"},
      {{"run", Camera, "--op", "Median Filtr", "--out", "x.bmp"}, 2, "did you mean 'Median Filter'"},
      {{"run", Camera, "--op", "Median Filter", "--set", "Width sise=3", "--out", "x.bmp"}, 2, "'Width size'"},
      {{"run", Camera, "--op", "Median Filter", "--set", "Width size=99", "--out", "x.bmp"}, 2, "1..27"},
      {{"run", Camera, "--op", "Salt Noise", "--set", "Noise percent=2", "--out", "x.bmp"}, 2, "(2 decimals)"},
      {{"run", Camera, "--op", "Median Filter", "--set", "Width size", "--out", "x.bmp"}, 2, "NAME=VALUE"},
      {{"run", Camera, "--set", "a=b"}, 2, "must follow an --op"},
      {{"run", "missing.bmp", "--op", "Invert", "--out", "x.bmp"}, 1, "missing.bmp"},
      {{"measure", Camera, "--origin", Coins}, 1, "does not match the origin"},
      {{"run", Camera, "--op", "Desaturate", "--out", "x.bmp"}, 1, "colour picture"},
      {{"analyze", Camera, "--corrupt", "Salt Noise", "--sweep", "Noise percent", "0", "3", "2"}, 2, "bounds"},
      {{"run", Camera, "--op", "Invert", "--out", "no/such/folder/x.bmp"}, 1, "cannot write"},
      {{"run", Camera, "--op", "Invert", "--out", "x.tif"}, 2, "--out must name a .bmp or .png file"},
      {{"spectrum", Coins, "--kind", "phase", "--out", "x.jpg"}, 2, "--out must name a .bmp or .png file"},
      {{"spectrum", Coins, Camera, "--kind", "phase", "--out", "x.bmp"}, 2, "spectrum: unexpected argument"},
      {{"measure", Camera, "--origin", Camera, "--bogus"}, 2, "measure: unknown option '--bogus'"},
      {{"estimate"}, 2, "estimate: missing PICTURE"},
      {{"estimate", "missing.bmp"}, 1, "missing.bmp"},
      {{"merge", "a.json", "--bogus"}, 2, "merge: unknown option '--bogus'"},
      {{"demo", "extra"}, 2, "demo: unknown option 'extra'"},
      {{"analyze", Coins, "--corrupt", "Salt Noise", "--sweep", "Noise percent", "0", "0.2", "2", "--criterion",
        "PNSR"},
       2,
       "(did you mean 'PSNR'?); one of MSE, PSNR, IQ, IQHVS, SSIM, Time"},
      {{"compare", Camera, Coins, "--mode", "ssim-map", "--out", "d.png"}, 1, "another geometry cannot be compared"},
      {{"compare", Camera, "--mode", "difference", "--out", "d.png"}, 2, "needs two pictures"},
      {{"compare", Camera, Camera, "--mode", "blink", "--out", "d.png"}, 2, "--mode must be difference"},
      {{"compare", Camera, Camera, "--mode", "difference", "--gain", "65", "--out", "d.png"}, 2, "1..64"},
  };
  for (const auto& c : cases) {
    const sProgramResult r = Run(c.Args);
    EXPECT_EQ(r.Code, c.Code) << c.Args[0] << " " << (c.Args.size() > 1 ? c.Args.back() : "") << ": " << r.Err;
    EXPECT_NE(r.Err.find(c.Fragment), std::string::npos) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_TRUE(r.Out.empty()) << r.Out;
    EXPECT_TRUE(FilesLeft().empty()) << "a failed command left a file behind";
  }
}

// Operations, parameters and choices are found exactly, else ignoring case.
TEST_F(CliTest, NamesDifferingInCaseOnlyGiveTheSameRun)
{
  struct sCase {
    std::vector<std::string> Exact, Cased;
    std::vector<std::string> Other;  // a run that must differ, so that the setting is seen to act
  };
  const std::vector<sCase> cases = {
      {{"--op", "Gradient Filter", "--set", "Operator=Sobel"},
       {"--op", "gradient FILTER", "--set", "OPERATOR=sobel"},
       {"--op", "Gradient Filter", "--set", "Operator=Roberts"}},
      {{"--op", "Median Filter", "--set", "Width size=5"},
       {"--op", "median filter", "--set", "width SIZE=5"},
       {"--op", "Median Filter", "--set", "Width size=3"}},
  };
  for (const sCase& c : cases) {
    SCOPED_TRACE(c.Exact[1]);
    std::vector<std::string> outputs, titles;
    for (const auto* ops : {&c.Exact, &c.Cased, &c.Other}) {
      std::vector<std::string> args = {"run", Coins, "--out", "x.bmp"};
      args.insert(args.end(), ops->begin(), ops->end());
      const sProgramResult r = Run(args);
      ASSERT_EQ(r.Code, 0) << r.Err;
      outputs.push_back(File("x.bmp"));
      titles.push_back(Cells(r.Out).back()[1]);
    }
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_EQ(titles[1], titles[0]);
    EXPECT_NE(outputs[2], outputs[0]);
  }
}

TEST_F(CliTest, MalformedPictureIsRefused)
{
  {
    std::ofstream f(Dir / "broken.bmp", std::ios::binary);
    f << "BM this is not a picture";
  }
  const sProgramResult r = Run({"run", (Dir / "broken.bmp").string(), "--op", "Invert"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("broken.bmp"), std::string::npos);
}

TEST_F(CliTest, HelpAndVersion)
{
  EXPECT_EQ(Run({"--version"}).Code, 0);
  const sProgramResult help = Run({"--help"});
  EXPECT_EQ(help.Code, 0);
  EXPECT_NE(help.Out.find("analyze"), std::string::npos);
  for (const char* command : {"list", "run", "measure", "estimate", "analyze", "spectrum", "demo"}) {
    const sProgramResult r = Run({command, "--help"});
    EXPECT_EQ(r.Code, 0) << command;
    EXPECT_NE(r.Out.find(std::string("Usage: kvadra ") + command), std::string::npos) << command;
  }
  EXPECT_EQ(Run({}).Code, 2);
}

TEST_F(CliTest, DemoWritesItsPictures)
{
  const sProgramResult r = Run({"demo"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_TRUE(fs::exists(Dir / "kvadra-demo" / "00-origin.bmp"));
  EXPECT_TRUE(fs::exists(Dir / "kvadra-demo" / "01-noisy.bmp"));
  EXPECT_TRUE(fs::exists(Dir / "kvadra-demo" / "history.csv"));
  EXPECT_EQ(Cells(r.Out).size() >= 6, true);
  EXPECT_NE(r.Out.find("kvadra-demo/"), std::string::npos);
}

// Run times are milliseconds with the microseconds as fraction in every table the program writes.
TEST_F(CliTest, TimesCarryMicrosecondsInTablesCsvAndJson)
{
  const std::regex milliseconds(R"(\d+\.\d{3})");
  const sProgramResult run = Run({"run", Camera, "--op", "Invert", "--history", "history.csv"});
  ASSERT_EQ(run.Code, 0) << run.Err;
  const auto rows = Cells(run.Out);
  ASSERT_EQ(rows.size(), 3u);
  for (size_t i = 1; i < rows.size(); ++i)
    EXPECT_TRUE(std::regex_match(rows[i].back(), milliseconds)) << rows[i].back();
  std::stringstream lines(ReadFile(Dir / "history.csv"));
  std::string line;
  std::getline(lines, line);
  for (size_t i = 1; std::getline(lines, line); ++i) {
    ASSERT_FALSE(line.empty());
    if (line.back() == '\r') line.pop_back();
    EXPECT_EQ(line.substr(line.rfind(',') + 1), rows[i].back());
  }

  const sProgramResult sweep =
      Run({"analyze", Coins, "--corrupt", "Salt Noise", "--sweep", "Noise percent", "0", "0.2", "2", "--restore",
           "Median Filter", "--criterion", "Time", "--csv", "t.csv", "--json", "t.json"});
  ASSERT_EQ(sweep.Code, 0) << sweep.Err;
  const auto table = Cells(sweep.Out);
  ASSERT_EQ(table.size(), 4u);
  for (size_t i = 1; i < table.size(); ++i) EXPECT_TRUE(std::regex_match(table[i][1], milliseconds)) << table[i][1];
  const std::string json = ReadFile(Dir / "t.json");
  const std::regex jsonTime(R"re("Median Filter \(WS=3;HS=3\)":(\d+\.\d{3})[,}])re");
  EXPECT_EQ(std::distance(std::sregex_iterator(json.begin(), json.end(), jsonTime), std::sregex_iterator()), 3) << json;
}

TEST_F(CliTest, ThreadCountIsASettingAnywhereOnTheLine)
{
  // Any thread count gives the same pictures and measures.
  const std::vector<std::string> work = {"run", Camera, "--op", "Median Filter", "--op", "Invert", "--seed", "5"};
  auto withOut = [&](std::vector<std::string> args, const char* out) {
    args.insert(args.end(), {"--out", out});
    return args;
  };
  const sProgramResult plain = Run(withOut(work, "plain.bmp"));
  ASSERT_EQ(plain.Code, 0) << plain.Err;
  auto first = withOut(work, "one.bmp");
  first.insert(first.begin(), {"--threads", "1"});
  auto last = withOut(work, "three.bmp");
  last.insert(last.end(), {"--threads", "3"});
  for (const auto& [args, out, environment] :
       {std::tuple{first, "one.bmp", std::vector<std::string>{}},
        std::tuple{last, "three.bmp", std::vector<std::string>{"KVADRA_THREADS=2"}},
        std::tuple{withOut(work, "env.bmp"), "env.bmp", std::vector<std::string>{"KVADRA_THREADS=7"}}}) {
    const sProgramResult r = Run(args, environment);
    ASSERT_EQ(r.Code, 0) << out << ": " << r.Err;
    EXPECT_TRUE(r.Err.empty()) << r.Err;
    EXPECT_EQ(ReadFile(Dir / out), ReadFile(Dir / "plain.bmp")) << out;
  }

  for (const char* bad : {"0", "257", "-2", "many", "2.5"}) {
    SCOPED_TRACE(bad);
    const sProgramResult r = Run({"run", Camera, "--op", "Invert", "--out", "x.bmp", "--threads", bad});
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("--threads"), std::string::npos) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_FALSE(fs::exists(Dir / "x.bmp"));
  }
  EXPECT_EQ(Run({"list", "--threads"}).Code, 2);
  EXPECT_NE(Run({"--help"}).Out.find("--threads N"), std::string::npos);

  // A bad environment value is reported once and the work goes on with every core.
  const sProgramResult ignored = Run(withOut(work, "ignored.bmp"), {"KVADRA_THREADS=lots"});
  EXPECT_EQ(ignored.Code, 0) << ignored.Err;
  EXPECT_NE(ignored.Err.find("KVADRA_THREADS='lots' ignored"), std::string::npos) << ignored.Err;
  EXPECT_EQ(std::count(ignored.Err.begin(), ignored.Err.end(), '\n'), 1) << ignored.Err;
  EXPECT_EQ(ReadFile(Dir / "ignored.bmp"), ReadFile(Dir / "plain.bmp"));
}

// compare writes the difference pixel for pixel and an SSIM map whose mean is measure's SSIM.
TEST_F(CliTest, CompareWritesTheDifferenceAndTheSSIMMapOfTwoPictures)
{
  ASSERT_EQ(Run({"run", Camera, "--op", "Salt Noise", "--seed", "3", "--out", "b.bmp"}).Code, 0);
  const std::string b = (Dir / "b.bmp").string();
  cImage a, noisy;
  ASSERT_TRUE(a.LoadImage(Camera));
  ASSERT_TRUE(noisy.LoadImage(b));
  const struct {
    std::vector<std::string> Options;
    std::function<int(int, int)> Shade;  // of A's and B's sample
  } cases[] = {{{"--gain", "1"}, [](int va, int vb) { return std::abs(vb - va); }},
               {{}, [](int va, int vb) { return std::min(255, 4 * std::abs(vb - va)); }},
               {{"--signed", "--gain", "2"}, [](int va, int vb) { return std::clamp(128 + 2 * (vb - va), 0, 255); }}};
  for (const auto& c : cases) {
    std::vector<std::string> args = {"compare", Camera, b, "--mode", "difference", "--out", "d.png"};
    args.insert(args.end(), c.Options.begin(), c.Options.end());
    const sProgramResult r = Run(args);
    ASSERT_EQ(r.Code, 0) << r.Err;
    cImage d;
    ASSERT_TRUE(d.LoadImage((Dir / "d.png").string()));
    for (int y = 0; y < 512; y += 3)
      for (int x = 0; x < 512; x += 5)
        ASSERT_EQ(kvtest::At(d, x, y), c.Shade(kvtest::At(a, x, y), kvtest::At(noisy, x, y))) << x << "," << y;
  }
  const sProgramResult map = Run({"compare", Camera, b, "--mode", "ssim-map", "--out", "m.png"});
  ASSERT_EQ(map.Code, 0) << map.Err;
  const sProgramResult measured = Run({"measure", b, "--origin", Camera});
  ASSERT_EQ(Cells(map.Out).at(0).at(1), Cells(measured.Out).at(4).at(1));
  cImage picture;
  ASSERT_TRUE(picture.LoadImage((Dir / "m.png").string()));
  EXPECT_GT(picture.GetWidth(), 512);  // the colour bar stands beside the map
  EXPECT_EQ(picture.GetHeight(), 512);
}
