// Messages between the viewer's windows keep their numbers and their wParam/lParam meaning;
// here they travel as posted Qt events, so any thread may send them.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <cstdint>

namespace velmora {

namespace msg {
inline constexpr int kSliderPressed = 1124;  // wparam control id, lparam position
inline constexpr int kSliderDragged = 1125;
inline constexpr int kSliderReleased = 1126;
inline constexpr int kSliderHovered = 1127;
inline constexpr int kSliderPointed = 1128;
inline constexpr int kMapRefresh = 1129;  // wparam reason
inline constexpr int kPanelQuery = 1130;
inline constexpr int kNetRealtimePlay = 1132;  // wparam vehicle record or -1
inline constexpr int kNetRecordedPlay = 1133;
inline constexpr int kRecorderConfig = 1134;
inline constexpr int kRecordedData = 1136;
inline constexpr int kVolumeSet = 1137;     // wparam control id, lparam volume 0..100
inline constexpr int kSeekToOffset = 1140;  // lparam: a new std::string* holding a decimal
                                            // offset; the receiver deletes it
inline constexpr int kUploadFile = 1141;
inline constexpr int kDeleteVehicle = 1142;
inline constexpr int kVehicleSelected = 1143;  // wparam vehicle record or -1
}  // namespace msg

class AppMessageEvent : public QEvent {
  public:
    AppMessageEvent(int message, intptr_t wparam, intptr_t lparam)
        : QEvent(type()), message_(message), wparam_(wparam), lparam_(lparam) {}

    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }

    int message() const { return message_; }
    intptr_t wparam() const { return wparam_; }
    intptr_t lparam() const { return lparam_; }

  private:
    int message_;
    intptr_t wparam_;
    intptr_t lparam_;
};

// The window that sliders and lists report to; set once by the main window.
inline QObject*& main_window_target() {
    static QObject* target = nullptr;
    return target;
}

// Thread-safe; a null target drops the message.
inline void post_app_message(QObject* target, int message, intptr_t wparam, intptr_t lparam) {
    if (target == nullptr) return;
    QCoreApplication::postEvent(target, new AppMessageEvent(message, wparam, lparam));
}

}  // namespace velmora
