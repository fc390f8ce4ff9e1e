// The dark theme's colours, named once.
#pragma once

#include <QColor>

namespace velmora::theme {

inline const QColor kWindow{36, 36, 36};     // main window client area
inline const QColor kPanel{34, 34, 34};      // control bar texts and background brush
inline const QColor kCaption{85, 85, 85};    // painted caption band
inline const QColor kDialog{70, 70, 70};     // sub-dialog brush
inline const QColor kMenuTitle{34, 35, 36};  // menu title box
inline const QColor kAccent{0, 216, 255};    // map caption text, panel title bar
inline const QColor kText{255, 255, 255};
inline const QColor kBorderLine{34, 34, 34};    // static's left and right border
inline const QColor kSelection{200, 200, 255};  // vehicle list selection
inline const QColor kTabText{211, 208, 200};
inline const QColor kTabBackground{231, 236, 247};
inline const QColor kTabEdgeDark{64, 64, 64};
inline const QColor kTabEdgeGrey{128, 128, 128};
// The telemetry colours: the G readout and speed text share them with the wave chart's curves.
inline const QColor kGx{216, 0, 0};
inline const QColor kGy{237, 184, 0};
inline const QColor kGz{18, 124, 0};
inline const QColor kSpeed{38, 215, 234};
inline const QColor kTemperatureCurve{255, 255, 255};
inline const QColor kChartAxis{75, 75, 75};

}  // namespace velmora::theme
