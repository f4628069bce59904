#pragma once

// Shared sizes in points (logical pixels) unless a name says otherwise.
namespace Metrics {
// Island layout.
inline constexpr double panelWidth = 400;
inline constexpr double panelHeight = 160;
inline constexpr double panelBottomRadius = 13;
inline constexpr double filletSize = 25;
inline constexpr double notchCoverHeight = 56;
inline constexpr double notchCoverMargin = 20;
inline constexpr double shadowBleed = 48;
inline constexpr double syntheticPillWidth = 180;
inline constexpr double islandControlSize = 22;
inline constexpr double islandControlGap = 8;

// Script text.
inline constexpr double scriptFontSize = 24;
inline constexpr double scriptLineHeight = 40;
inline constexpr double scriptLineHeightMultiple = 5.0 / 3.0;
inline constexpr double scriptHorizontalPadding = 18;
inline constexpr double scriptBottomPadding = 10;
} // namespace Metrics
