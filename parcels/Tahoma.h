#pragma once

#include <QFont>

// The windows are laid out for Tahoma at 96 dots per inch, where 8 pt is 11 px, 10 pt 13 px,
// 11 pt 15 px and 12 pt 16 px. Sizes are set in pixels so the layout does not depend on the
// screen's dpi.
namespace tahoma {

constexpr int k8pt = 11;
constexpr int k10pt = 13;
constexpr int k11pt = 15;
constexpr int k12pt = 16;

// On Linux, makes the metric-compatible Tahoma of fonts-wine known to the application (it lies
// outside fontconfig's folders); Windows has its own. Safe to call more than once; without the
// files the default sans is used.
void registerFonts();

QFont font(int pixelSize, bool bold = false);

} // namespace tahoma
