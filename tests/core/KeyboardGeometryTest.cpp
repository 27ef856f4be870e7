#include "core/display/KeyboardGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace orvane {
namespace {

std::vector<IntPoint> Points(const KeyOutline& outline) {
  return {outline.points.begin(), outline.points.begin() + static_cast<long>(outline.count)};
}

// The x extent of the outline's points at height y: a key's upper band at 0, lower band at H.
std::pair<int, int> SpanAt(const KeyOutline& outline, int y) {
  int left = INT32_MAX;
  int right = INT32_MIN;
  for (const IntPoint& p : Points(outline)) {
    if (p.y != y) continue;
    left = std::min(left, p.x);
    right = std::max(right, p.x);
  }
  return {left, right};
}

TEST(KeyboardGeometryTest, WhiteAndBlackKeys) {
  for (int key : {0, 2, 4, 5, 7, 9, 11, 12, 36, 47}) EXPECT_TRUE(IsWhiteKey(key)) << key;
  for (int key : {1, 3, 6, 8, 10, 13, 34, 46}) EXPECT_FALSE(IsWhiteKey(key)) << key;
}

TEST(KeyboardGeometryTest, WorkedExampleAtWidth1100) {
  PianoGeometry piano;
  piano.RebuildPianoRegions({0, 0, 1100, 300});

  const std::vector<IntPoint> key2 = {{58, 0},   {90, 0},   {90, 174}, {100, 174}, {100, 300},
                                      {50, 300}, {50, 174}, {58, 174}, {58, 0}};
  EXPECT_EQ(Points(piano.Outline(2)), key2);

  std::vector<std::pair<int, int>> black;
  std::vector<int> boundaries;
  for (int key = 0; key < kPianoKeyCount; ++key) {
    if (!IsWhiteKey(key)) {
      black.push_back(SpanAt(piano.Outline(key), 0));
      EXPECT_EQ(SpanAt(piano.Outline(key), 174), black.back()) << "black keys end at Hb";
    } else if (key > 0) {
      boundaries.push_back(SpanAt(piano.Outline(key), 300).first);
    }
  }
  const std::vector<std::pair<int, int>> expectedBlack = {
      {31, 58},   {90, 116},  {181, 206}, {236, 262}, {291, 317},
      {380, 407}, {439, 466}, {530, 556}, {586, 612}, {641, 668},
      {730, 757}, {789, 816}, {880, 906}, {936, 962}, {991, 1017}};
  EXPECT_EQ(black, expectedBlack);
  const std::vector<int> expectedBoundaries = {50,  100, 150, 200, 250, 300,  349,
                                               400, 450, 500, 550, 600, 650,  699,
                                               750, 800, 850, 900, 950, 1000, 1050};
  EXPECT_EQ(boundaries, expectedBoundaries);
  EXPECT_EQ(piano.Outline(36).count, 5u);
  EXPECT_EQ(piano.Outline(0).count, 7u);
  EXPECT_EQ(piano.Outline(4).count, 7u);
}

// At this width the near-equal divisors (3.14 and 3.1429, 9.423 and 9.43) and truncating each
// term separately all change the result, so a merged constant or a merged term shows.
TEST(KeyboardGeometryTest, DistinctConstantsAtWidth726) {
  PianoGeometry piano;
  piano.RebuildPianoRegions({0, 0, 726, 200});
  std::vector<std::pair<int, int>> black;
  for (int key = 0; key < kPianoKeyCount; ++key) {
    if (!IsWhiteKey(key)) black.push_back(SpanAt(piano.Outline(key), 0));
  }
  const std::vector<std::pair<int, int>> expectedBlack = {
      {21, 38},   {59, 76},   {119, 136}, {156, 173}, {192, 209},
      {251, 268}, {289, 308}, {349, 367}, {386, 404}, {423, 441},
      {482, 499}, {520, 538}, {580, 598}, {617, 635}, {654, 671}};
  EXPECT_EQ(black, expectedBlack);
  EXPECT_EQ(SpanAt(piano.Outline(5), 200).first, 99);
  EXPECT_EQ(SpanAt(piano.Outline(12), 200).first, 230);
  EXPECT_EQ(SpanAt(piano.Outline(24), 200).first, 461);
  EXPECT_EQ(SpanAt(piano.Outline(1), 116).second, 38) << "Hb = trunc(200 / 1.724)";
}

TEST(KeyboardGeometryTest, SharedEdgesBelongToTheRightOrLowerKey) {
  PianoGeometry piano;
  EXPECT_EQ(piano.PianoKeyAt({10, 10}), std::nullopt) << "nothing before the first rebuild";
  piano.RebuildPianoRegions({0, 0, 1100, 300});
  EXPECT_EQ(piano.PianoKeyAt({0, 0}), 0);
  EXPECT_EQ(piano.PianoKeyAt({30, 0}), 0);
  EXPECT_EQ(piano.PianoKeyAt({31, 0}), 1);
  EXPECT_EQ(piano.PianoKeyAt({40, 173}), 1);
  EXPECT_EQ(piano.PianoKeyAt({40, 174}), 0) << "lower edge of a black key is the white key's";
  EXPECT_EQ(piano.PianoKeyAt({57, 174}), 2);
  EXPECT_EQ(piano.PianoKeyAt({58, 100}), 2);
  EXPECT_EQ(piano.PianoKeyAt({49, 299}), 0);
  EXPECT_EQ(piano.PianoKeyAt({50, 299}), 2);
  EXPECT_EQ(piano.PianoKeyAt({348, 250}), 11);
  EXPECT_EQ(piano.PianoKeyAt({349, 250}), 12);
  EXPECT_EQ(piano.PianoKeyAt({699, 250}), 24);
  EXPECT_EQ(piano.PianoKeyAt({150, 0}), 5);
  EXPECT_EQ(piano.PianoKeyAt({500, 250}), 17);
  EXPECT_EQ(piano.PianoKeyAt({1099, 299}), 36);
  for (IntPoint outside :
       {IntPoint{1100, 10}, IntPoint{10, 300}, IntPoint{-1, 0}, IntPoint{0, -1}}) {
    EXPECT_EQ(piano.PianoKeyAt(outside), std::nullopt);
  }
}

// Every point of the client area lies in exactly one key. Region membership only changes at the
// outline's corner coordinates, so checking the first and last pixel of every interval between
// them covers every pixel.
TEST(KeyboardGeometryTest, KeysTileTheClientAreaForEveryWidth) {
  PianoGeometry piano;
  for (int h : {1, 150, 1081}) {
    for (int w = 76; w <= 2000; ++w) {
      piano.RebuildPianoRegions({0, 0, w, h});
      std::set<int> xs = {0, w};
      std::set<int> ys = {0, h};
      for (int key = 0; key < kPianoKeyCount; ++key) {
        for (const IntPoint& p : Points(piano.Outline(key))) {
          xs.insert(p.x);
          ys.insert(p.y);
        }
      }
      std::vector<int> probeX;
      for (auto it = xs.begin(); std::next(it) != xs.end(); ++it) {
        probeX.push_back(*it);
        probeX.push_back(*std::next(it) - 1);
      }
      std::vector<int> probeY;
      for (auto it = ys.begin(); std::next(it) != ys.end(); ++it) {
        probeY.push_back(*it);
        probeY.push_back(*std::next(it) - 1);
      }
      for (int x : probeX) {
        for (int y : probeY) {
          int holders = 0;
          for (int key = 0; key < kPianoKeyCount; ++key) {
            holders += piano.RegionContains(key, {x, y}) ? 1 : 0;
          }
          ASSERT_EQ(holders, 1) << "w=" << w << " h=" << h << " x=" << x << " y=" << y;
        }
      }
      ASSERT_EQ(piano.PianoKeyAt({w, 0}), std::nullopt);
      ASSERT_EQ(piano.PianoKeyAt({0, h}), std::nullopt);
    }
  }
}

TEST(KeyboardGeometryTest, BandEdgesStrictlyIncreaseForEveryWidth) {
  PianoGeometry piano;
  for (int w = 76; w <= 4000; ++w) {
    piano.RebuildPianoRegions({0, 0, w, 300});
    int upperEdge = 0;
    int lowerEdge = 0;
    for (int key = 0; key < kPianoKeyCount; ++key) {
      const auto upper = SpanAt(piano.Outline(key), 0);
      ASSERT_EQ(upper.first, upperEdge) << "w=" << w << " key=" << key;
      ASSERT_LT(upper.first, upper.second) << "w=" << w << " key=" << key;
      upperEdge = upper.second;
      if (!IsWhiteKey(key)) continue;
      const auto lower = SpanAt(piano.Outline(key), 300);
      ASSERT_EQ(lower.first, lowerEdge) << "w=" << w << " key=" << key;
      ASSERT_LT(lower.first, lower.second) << "w=" << w << " key=" << key;
      lowerEdge = lower.second;
    }
    ASSERT_EQ(upperEdge, w);
    ASSERT_EQ(lowerEdge, w);
  }
}

TEST(KeyboardGeometryTest, AccordionExampleAndMarker) {
  const ClientRect client{0, 0, 1060, 240};
  auto expectBounds = [&](int button, float x, float y) {
    const ButtonBounds b = AccordionButtonBounds(button, client);
    EXPECT_FLOAT_EQ(b.x, x) << button;
    EXPECT_FLOAT_EQ(b.y, y) << button;
    EXPECT_FLOAT_EQ(b.d, 40.0f) << button;
  };
  expectBounds(0, 20, 12);
  expectBounds(1, 40, 72);
  expectBounds(3, 80, 192);
  expectBounds(20, 420, 12);
  expectBounds(48, 980, 12);
  const ButtonBounds marker = AccordionMarkerBounds(client);
  EXPECT_FLOAT_EQ(marker.x, 430);
  EXPECT_FLOAT_EQ(marker.y, 22);
  EXPECT_FLOAT_EQ(marker.d, 20);
  // The smaller of w / 15 and h / 6 sets the diameter.
  EXPECT_FLOAT_EQ(AccordionButtonBounds(0, {0, 0, 1060, 600}).d, 1060.0f / 15.0f);
}

TEST(KeyboardGeometryTest, AccordionHitTest) {
  const ClientRect client{0, 0, 1060, 240};
  EXPECT_EQ(AccordionButtonAt({440, 32}, client), 20) << "the marker disc is button 20";
  EXPECT_EQ(AccordionButtonAt({40, 32}, client), 0);
  EXPECT_EQ(AccordionButtonAt({20, 32}, client), 0) << "leftmost point of the circle";
  EXPECT_EQ(AccordionButtonAt({60, 92}, client), 1);
  EXPECT_EQ(AccordionButtonAt({100, 212}, client), 3);
  EXPECT_EQ(AccordionButtonAt({1000, 32}, client), 48);
  EXPECT_EQ(AccordionButtonAt({22, 14}, client), std::nullopt) << "square corner, not circle";
  EXPECT_EQ(AccordionButtonAt({10, 32}, client), std::nullopt);
  EXPECT_EQ(AccordionButtonAt({1050, 230}, client), std::nullopt) << "bottom-right margin";
  EXPECT_EQ(AccordionButtonAt({0, 0}, {0, 0, 0, 0}), std::nullopt);
}

}  // namespace
}  // namespace orvane
