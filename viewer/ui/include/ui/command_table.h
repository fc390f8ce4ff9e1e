// The main window's commands, each one row of one table: its id, the language text of its menu
// item or tooltip, where it shows (a menu, a button with its artwork, a key) and its handler.
// Menus, toolbar, control bar and keys are all built from the table.
#pragma once

#include <span>

namespace velmora {

class MainWindow;

// Menu items and buttons keep the resource ids the language table and the tests know them by;
// where a menu item and a button do the same, both are rows with the same handler.
enum class CommandId : int {
    // File menu and the toolbar
    OpenFile = 32810,
    SearchHdd = 32853,
    SearchSd = 32854,
    CloseSource = 32855,
    OpenDiskImage = 32872,
    OpenCardImage = 32873,
    OpenFileButton = 10015,
    SearchHddButton = 10016,
    SearchSdButton = 10017,
    CloseSourceButton = 10018,
    FindPlayButton = 10019,
    ScreenRecordButton = 10020,
    StopScreenRecordButton = 10034,
    TalkOpenButton = 10036,
    TalkCloseButton = 10037,
    // Windows menu: layout, chart ranges, units and map type
    SingleScreen = 32811,
    DoubleScreen = 32812,
    GRange2 = 32813,
    GRange4 = 32816,
    GRange6 = 32817,
    GRange8 = 32818,
    SpeedRange50 = 32819,
    SpeedRange100 = 32820,
    SpeedRange150 = 32821,
    SpeedRange200 = 32822,
    SpeedRange300 = 32832,
    TemperatureRange50 = 32824,
    TemperatureRange100 = 32825,
    SpeedKm = 32864,
    SpeedMile = 32865,
    Celsius = 32866,
    Fahrenheit = 32867,
    PressurePsi = 32868,
    GoogleMaps = 32870,
    YandexMaps = 32871,
    // Control, Settings and Help menus
    FindPlay = 32833,
    ScreenRecord = 32856,
    AddRecorder = 32874,
    OperationLog = 32850,
    OtherSettings = 32843,
    About = 32858,
    // Picture pop-up of the video area
    SaveChannelPicture = 32847,
    SaveAllChannelPictures = 32848,
    SaveFullScreenPicture = 32849,
    // Control bar
    Play = 10007,
    Pause = 10022,
    StepBackward = 10008,
    StepForward = 10009,
    FastBackward = 10010,
    FastForward = 10011,
    Stop = 10012,
    Extract = 10013,
    Capture = 10014,
    Channels = 10038,
    TurnAudioOff = 10021,  // shown while the audio is on
    TurnAudioOn = 10027,
    Splitter = 10035,
    // Keys
    PlayOrPauseKey = 1,
    LeftKey = 2,
    RightKey = 3,
};

// The window's menus: the five title menus, their submenus and the picture pop-up.
enum class MenuId {
    None,
    File,
    Windows,
    Control,
    Settings,
    Help,
    Layout,
    Wave,
    GRange,
    SpeedRange,
    TemperatureRange,
    Unit,
    SpeedUnit,
    TemperatureUnit,
    PressureUnit,
    MapType,
    Picture,
};

// A menu: where it hangs, its title's language text, and whether its items are one radio group.
struct MenuPlan {
    MenuId id;
    MenuId parent;  // None: a title menu or the pop-up
    const char* title_key;
    bool radio = false;
};

enum class ButtonBar { None, Toolbar, ControlBar };

// Where a command's button sits and what it shows.
struct ButtonPlacement {
    ButtonBar bar = ButtonBar::None;
    int slot = 0;     // index into the bar's places (main_layout.h)
    int artwork = 0;  // its four-frame strip
};

struct Command;
using CommandHandler = void (*)(MainWindow& window, const Command& command);

struct Command {
    CommandId id;
    const char* text_key = nullptr;    // language text of its menu item or tooltip
    const char* label = nullptr;       // a fixed menu text instead (chart ranges and units)
    MenuId menu = MenuId::None;        // the menu it is an item of,
    ButtonPlacement button{};          // or the button it is,
    int key = 0;                       // or the key (Qt::Key) it is
    int value = 0;                     // what a radio item stands for
    CommandHandler handler = nullptr;  // null: the button does nothing when clicked
};

}  // namespace velmora
