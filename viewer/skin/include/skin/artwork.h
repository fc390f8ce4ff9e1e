// Every bitmap of the viewer, drawn by code from one table keyed by resource id, so it stays
// crisp at any device pixel ratio.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QSize>

class QPainter;
class QRect;

namespace velmora {

namespace art {
inline constexpr int kAppIcon = 1001;
inline constexpr int kSliderThumb = 1004;  // 7x7
inline constexpr int kSliderTrack = 1005;  // 20x5
inline constexpr int kMinimise = 1007, kMinimiseHover = 1008;
inline constexpr int kMaximise = 1009, kMaximiseHover = 1010;
inline constexpr int kClose = 1011, kCloseHover = 1012;
inline constexpr int kRestore = 1013, kRestoreHover = 1014;
inline constexpr int kTruckYellow = 1015, kTruckRed = 1016, kTruckGrey = 1017, kTruckGreen = 1018;
inline constexpr int kVolumeFilled = 1022, kVolumeEmpty = 1023, kVolumeThumb = 1024;
inline constexpr int kScrollDown = 1025, kScrollUp = 1026, kScrollHThumb = 1027;
inline constexpr int kScrollLeft = 1028, kScrollCorner = 1029, kScrollRight = 1030;
inline constexpr int kScrollVTrack = 1031, kScrollVThumb = 1032, kScrollHTrack = 1033;
inline constexpr int kMainEdgeH = 1060, kMainEdgeV = 1061;
inline constexpr int kDialogEdgeH = 1063, kDialogEdgeV = 1064;
// Toolbar strips: four 32x32 frames (normal, hover, pressed, disabled).
inline constexpr int kOpenFile = 1065, kSearchHdd = 1066, kSearchSd = 1067, kCloseSource = 1068,
                     kFindPlay = 1069, kScreenRecord = 1070, kStopScreenRecord = 1071,
                     kTalkOpen = 1072, kTalkClose = 1073;
// Playback strips: four 48x48 frames.
inline constexpr int kPlay = 1074, kPause = 1075, kStepBackward = 1076, kStepForward = 1077,
                     kFastBackward = 1078, kFastForward = 1079, kStop = 1080, kExtract = 1081,
                     kCapture = 1082, kChannels = 1083, kAudioOn = 1084, kAudioOff = 1085;
}  // namespace art

// Logical size of a resource; empty for an unknown id.
QSize skin_size(int id);

// The image of a resource at the given device pixel ratio (cached); null for an unknown id.
// GUI thread only, like every QPixmap.
QPixmap skin_pixmap(int id, qreal device_pixel_ratio = 1.0);

// Frame n (1..4) of a four-frame horizontal strip.
QPixmap strip_frame(const QPixmap& strip, int n);

// The pixels whose colour lies outside [key, key + tolerance] per channel.
QRegion region_from_image(const QImage& image, QRgb key, int tolerance);

// Draws src into dest keeping cx-wide and cy-high corners unscaled (0 = no corner that way).
void draw_edge_stretch(QPainter& painter, const QPixmap& src, const QRect& dest, int cx, int cy);

QIcon app_icon();

}  // namespace velmora
