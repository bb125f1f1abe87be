#pragma once

// The twip layout the results windows share: the results grid, a comparison
// and a trend stand in the same place in windows of the same size, and the
// picture grows with the window from there.
namespace ResultsLayout {

constexpr int kClientWidth = 11235;
constexpr int kClientHeight = 11085;
constexpr int kPictureLeft = 240;
constexpr int kPictureTop = 1320;
constexpr int kPictureWidth = 10575;
constexpr int kPictureHeight = 9495;

} // namespace ResultsLayout
