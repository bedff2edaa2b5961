#include "picture/box_reducer.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace vistamere::picture {
namespace {

using Rgb = std::array<std::uint8_t, 3>;

// A picture given as opaque RGB rows; delivers itself to a sink.
struct Picture {
  std::uint32_t width;
  std::uint32_t height;
  std::vector<Rgb> pixels;  // row by row

  std::vector<std::uint8_t> RowRgba(std::uint32_t y) const {
    std::vector<std::uint8_t> row;
    for (std::uint32_t x = 0; x < width; ++x) {
      const Rgb& p = pixels[y * width + x];
      row.insert(row.end(), {p[0], p[1], p[2], 255});
    }
    return row;
  }
};

Rgb Gray(std::uint8_t v) {
  return {v, v, v};
}

std::vector<Rgb> CanvasPixels(const Canvas& canvas) {
  std::vector<Rgb> out;
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const std::uint8_t* p = canvas.Pixel(x, y);
      out.push_back({p[0], p[1], p[2]});
    }
  }
  return out;
}

std::vector<Rgb> Reduce(const Picture& picture, int target_width, int target_height,
                        int orientation = 1) {
  Canvas canvas;
  canvas.Reset(target_width, target_height);
  BoxReducer reducer(canvas, DecodeRequest{});
  EXPECT_TRUE(reducer.Begin(picture.width, picture.height, orientation));
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    reducer.Row(y, picture.width, picture.RowRgba(y).data());
  }
  reducer.Finish();
  return CanvasPixels(canvas);
}

TEST(BoxReducer, ReducesAndStretchesToTheTarget) {
  struct Case {
    std::string name;
    Picture picture;
    int target_width;
    int target_height;
    std::vector<Rgb> expected;
  };
  const Case cases[] = {
      {"same size is exact",
       {2, 2, {{1, 2, 3}, {40, 50, 60}, {70, 80, 90}, {255, 0, 128}}},
       2,
       2,
       {{1, 2, 3}, {40, 50, 60}, {70, 80, 90}, {255, 0, 128}}},
      {"2x2 boxes average",
       {4, 2, {Gray(0), Gray(100), Gray(200), Gray(200), Gray(50), Gray(50), Gray(0), Gray(255)}},
       2,
       1,
       {Gray(50), Gray(164)}},
      {"narrow: rows halved, a column per cell",
       {2,
        4,
        {{10, 20, 30},
         {200, 0, 0},
         {30, 40, 50},
         {0, 200, 100},
         {0, 0, 0},
         {100, 100, 100},
         {100, 60, 20},
         {50, 50, 50}}},
       2,
       2,
       {{20, 30, 40}, {100, 100, 50}, {50, 30, 10}, {75, 75, 75}}},
      {"uneven boxes: 3 columns into 2",
       {3, 1, {Gray(10), Gray(30), Gray(200)}},
       2,
       1,
       {Gray(20), Gray(200)}},
      {"a single pixel fills the target",
       {1, 1, {{9, 99, 199}}},
       3,
       2,
       {{9, 99, 199}, {9, 99, 199}, {9, 99, 199}, {9, 99, 199}, {9, 99, 199}, {9, 99, 199}}},
      {"stretching interpolates between neighbours",
       {2, 1, {Gray(0), Gray(200)}},
       4,
       1,
       {Gray(0), Gray(50), Gray(150), Gray(200)}},
      {"larger on one axis, smaller on the other",
       {4, 1, {Gray(0), Gray(20), Gray(100), Gray(120)}},
       2,
       2,
       {Gray(10), Gray(110), Gray(10), Gray(110)}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Reduce(c.picture, c.target_width, c.target_height), c.expected) << c.name;
  }
}

TEST(BoxReducer, AppliesEveryExifOrientation) {
  // a b c
  // d e f
  const Rgb a = Gray(10), b = Gray(20), c = Gray(30), d = Gray(40), e = Gray(50), f = Gray(60);
  const Picture picture{3, 2, {a, b, c, d, e, f}};
  struct Case {
    int orientation;
    int width;
    int height;
    std::vector<Rgb> expected;
  };
  const Case cases[] = {
      {1, 3, 2, {a, b, c, d, e, f}},  // as stored
      {2, 3, 2, {c, b, a, f, e, d}},  // mirrored left-right
      {3, 3, 2, {f, e, d, c, b, a}},  // turned half round
      {4, 3, 2, {d, e, f, a, b, c}},  // mirrored top-bottom
      {5, 2, 3, {a, d, b, e, c, f}},  // transposed
      {6, 2, 3, {d, a, e, b, f, c}},  // turned a quarter clockwise
      {7, 2, 3, {f, c, e, b, d, a}},  // transversed
      {8, 2, 3, {c, f, b, e, a, d}},  // turned a quarter anticlockwise
  };
  for (const Case& cs : cases) {
    EXPECT_EQ(Reduce(picture, cs.width, cs.height, cs.orientation), cs.expected)
        << "orientation " << cs.orientation;
  }
}

TEST(BoxReducer, OrientationAlsoHoldsWhenShrinking) {
  // Left half dark, right half light; turned a quarter clockwise the dark
  // half ends on the top.
  Picture picture{4, 2, {}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) picture.pixels.push_back(Gray(x < 2 ? 0 : 200));
  }
  EXPECT_EQ(Reduce(picture, 1, 2, 6), (std::vector<Rgb>{Gray(0), Gray(200)}));
  EXPECT_EQ(Reduce(picture, 1, 2, 8), (std::vector<Rgb>{Gray(200), Gray(0)}));
}

TEST(BoxReducer, ComposesAlphaOverBlack) {
  struct Case {
    std::array<std::uint8_t, 4> rgba;
    Rgb expected;
  };
  const Case cases[] = {
      {{200, 100, 50, 255}, {200, 100, 50}},
      {{200, 100, 50, 128}, {100, 50, 25}},
      {{255, 255, 255, 0}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    Canvas canvas;
    canvas.Reset(1, 1);
    BoxReducer reducer(canvas, DecodeRequest{});
    ASSERT_TRUE(reducer.Begin(1, 1, 1));
    reducer.Row(0, 1, c.rgba.data());
    reducer.Finish();
    EXPECT_EQ(CanvasPixels(canvas)[0], c.expected) << int{c.rgba[3]};
  }
}

TEST(BoxReducer, RowsInAnyOrderAndInPiecesGiveTheSamePicture) {
  Picture picture{5, 4, {}};
  for (std::uint32_t i = 0; i < 20; ++i) {
    picture.pixels.push_back({static_cast<std::uint8_t>(i * 12), static_cast<std::uint8_t>(i), 7});
  }
  std::vector<Rgb> in_order = Reduce(picture, 3, 2);

  Canvas canvas;
  canvas.Reset(3, 2);
  BoxReducer reducer(canvas, DecodeRequest{});
  ASSERT_TRUE(reducer.Begin(5, 4, 1));
  for (std::uint32_t y = 4; y-- > 0;) {
    std::vector<std::uint8_t> row = picture.RowRgba(y);
    // Odd columns first, then even columns, as interlaced passes would.
    std::vector<std::uint8_t> odd, even;
    for (std::uint32_t x = 0; x < 5; ++x) {
      auto& part = x % 2 ? odd : even;
      part.insert(part.end(), row.begin() + x * 4, row.begin() + x * 4 + 4);
    }
    reducer.Pixels(y, 1, 2, 2, odd.data());
    reducer.Pixels(y, 0, 2, 3, even.data());
  }
  reducer.Finish();
  EXPECT_EQ(CanvasPixels(canvas), in_order);
}

TEST(BoxReducer, PixelsNeverDeliveredStayBlack) {
  Canvas canvas;
  canvas.Reset(2, 2);
  BoxReducer reducer(canvas, DecodeRequest{});
  ASSERT_TRUE(reducer.Begin(2, 2, 1));
  const std::uint8_t white[8] = {255, 255, 255, 255, 255, 255, 255, 255};
  reducer.Row(1, 2, white);
  // Out of range deliveries are ignored, not written anywhere.
  reducer.Row(2, 2, white);
  reducer.Pixels(0, 5, 1, 1, white);
  reducer.Finish();
  EXPECT_EQ(CanvasPixels(canvas), (std::vector<Rgb>{Gray(0), Gray(0), Gray(255), Gray(255)}));
}

TEST(BoxReducer, RefusesEmptyAndOversizedPictures) {
  struct Case {
    std::uint32_t width;
    std::uint32_t height;
    std::uint64_t max_pixels;
    bool accepted;
  };
  const Case cases[] = {
      {0, 10, 1000, false},
      {10, 0, 1000, false},
      {10, 100, 1000, true},
      {10, 101, 1000, false},
      {0xFFFFFFFFu, 0xFFFFFFFFu, std::uint64_t{1} << 30, false},
      {40000, 30000, std::uint64_t{1} << 30, false},
      // Long and thin: the accumulator still stays within the canvas.
      {std::uint32_t{1} << 30, 1, std::uint64_t{1} << 30, true},
  };
  for (const Case& c : cases) {
    Canvas canvas;
    canvas.Reset(16, 8);
    DecodeRequest request;
    request.max_pixels = c.max_pixels;
    BoxReducer reducer(canvas, request);
    EXPECT_EQ(reducer.Begin(c.width, c.height, 1), c.accepted) << c.width << " x " << c.height;
    EXPECT_EQ(reducer.refused(), !c.accepted);
  }
}

TEST(BoxReducer, ReportsProgressAtMostEveryPercent) {
  Canvas canvas;
  canvas.Reset(4, 4);
  std::vector<int> reports;
  BoxReducer reducer(canvas, DecodeRequest{}, [&](int percent) {
    reports.push_back(percent);
    return true;
  });
  constexpr std::uint32_t kRows = 1000;
  ASSERT_TRUE(reducer.Begin(1, kRows, 1));
  const std::uint8_t pixel[4] = {1, 2, 3, 255};
  for (std::uint32_t y = 0; y < kRows; ++y) reducer.Row(y, 1, pixel);
  ASSERT_FALSE(reports.empty());
  EXPECT_LE(reports.size(), 101u);
  EXPECT_EQ(reports.back(), 100);
  for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
}

}  // namespace
}  // namespace vistamere::picture
