// Keys of the language texts the player session shows and logs, named by their English default.
#pragma once

namespace velmora::session_text {

// Operation-log lines.
inline constexpr const char* kOpenLocalFile = "IDS_STRING371";     // "open local file."
inline constexpr const char* kSearchingHdd = "IDS_STRING372";      // "searching local hdd."
inline constexpr const char* kSearchingSd = "IDS_STRING373";       // "searching local sd."
inline constexpr const char* kOpenCompleted = "IDS_STRING374";     // "open completed."
inline constexpr const char* kOpenFail = "IDS_STRING375";          // "open fail."
inline constexpr const char* kOpenHddCompleted = "IDS_STRING376";  // "open hdd completed."
inline constexpr const char* kOpenSdCompleted = "IDS_STRING377";   // "open sd completed."
inline constexpr const char* kOpenHddImage = "IDS_STRING378";      // "open hdd image."
inline constexpr const char* kOpenSdImage = "IDS_STRING379";       // "open sd image."
inline constexpr const char* kCloseOk = "IDS_STRING380";           // "close ok."
inline constexpr const char* kPlayOk = "IDS_STRING382";            // "play ok."
inline constexpr const char* kPlayFail = "IDS_STRING383";          // "play fail."
inline constexpr const char* kPauseOk = "IDS_STRING384";           // "pause ok."
inline constexpr const char* kPauseFail = "IDS_STRING385";         // "pause fail."
inline constexpr const char* kStepForwardOk = "IDS_STRING386";     // "step forward ok."
inline constexpr const char* kStepForwardFail = "IDS_STRING387";   // "step forward fail."
inline constexpr const char* kStepBackwardOk = "IDS_STRING388";    // "step backward ok."
inline constexpr const char* kStepBackwardFail = "IDS_STRING389";  // "step backward fail."
inline constexpr const char* kFastForwardOk = "IDS_STRING390";     // "fast forward ok."
inline constexpr const char* kFastForwardFail = "IDS_STRING391";   // "fast forward fail."
inline constexpr const char* kPicCaptureOk = "IDS_STRING392";      // "pic capture ok."
inline constexpr const char* kPicCaptureFail = "IDS_STRING393";    // "pic capture fail."
inline constexpr const char* kStopOk = "IDS_STRING394";            // "stop ok."
inline constexpr const char* kStopFail = "IDS_STRING395";          // "stop fail."
inline constexpr const char* kFastBackwardOk = "IDS_STRING443";    // "fast backward ok."
inline constexpr const char* kFastBackwardFail = "IDS_STRING444";  // "fast backward fail."
inline constexpr const char* kHddRemovedLog = "IDS_STRING441";     // "local hdd is removed."
inline constexpr const char* kSdRemovedLog = "IDS_STRING442";      // "local sd is removed."
inline constexpr const char* kCloseAudio = "IDS_STRING228";        // "close audio"
inline constexpr const char* kOpenAudio = "IDS_STRING229";         // "open audio"
inline constexpr const char* kRealtimeLinkFail = "IDS_STRING413";  // "realtime net data link fail."
inline constexpr const char* kRealtimeLinkOk = "IDS_STRING414";    // "realtime net data link ok."
inline constexpr const char* kRealtimeBreakup =
    "IDS_STRING420";  // "realtime net data play link is breakup."
inline constexpr const char* kRecordedBreakup =
    "IDS_STRING421";  // "recorded net data play link is breakup."
inline constexpr const char* kRecordedLinkOk = "IDS_STRING422";    // "recorded net data link ok."
inline constexpr const char* kRecordedLinkFail = "IDS_STRING423";  // "recorded net data link fail."
inline constexpr const char* kDownloadStartFail =
    "IDS_STRING425";  // "start recorded net data download fail."
inline constexpr const char* kRealtimeOpenFail =
    "IDS_STRING411";  // "initialization of opening realtime net data fail."
inline constexpr const char* kRealtimeOpenOk =
    "IDS_STRING412";  // "initialization of opening realtime net data ok."
inline constexpr const char* kDownloadCompleted =
    "IDS_STRING426";  // "recorded net data download completed."

// Messages.
inline constexpr const char* kOpenHddFailMsg = "IDS_STRING231";  // "open hdd fail!"
inline constexpr const char* kHddRemovedMsg = "IDS_STRING232";   // "hdd is removed!"
inline constexpr const char* kOpenSdFailMsg = "IDS_STRING233";   // "open sd fail!"
inline constexpr const char* kSdRemovedMsg = "IDS_STRING234";    // "sd is removed!"
inline constexpr const char* kLinkFailMsg = "IDS_STRING235";     // "link fail!"
inline constexpr const char* kDataRequestFailMsg =
    "IDS_STRING236";  // "data request fail, play later!"
inline constexpr const char* kDataRefusedMsg =
    "IDS_STRING237";  // "data request is refused, play later!"
inline constexpr const char* kLinkBreakMsg = "IDS_STRING243";  // "Link break..."
inline constexpr const char* kIllegalFileName =
    "IDS_STRING254";  // "Open file fail, illegal file name!"
inline constexpr const char* kWrongSuffix =
    "IDS_STRING255";  // "... suffix ... must be .dvr or .DVR!"
inline constexpr const char* kNoIndexFile = "IDS_STRING256";  // "... there must be a .inx file ..."
inline constexpr const char* kOpenUnknownError =
    "IDS_STRING257";  // "Open file fail,an unkown error occurred!"
inline constexpr const char* kCaptureFailMsg = "IDS_STRING262";  // "Capture picture fail!"
inline constexpr const char* kPictureSavedTo = "IDS_STRING263";  // "Picture saved to"
inline constexpr const char* kPlugSpeaker =
    "IDS_STRING296";  // "Please make sure speaker or headphone plugged!"
inline constexpr const char* kRealtimeOpenFailMsg =
    "IDS_STRING258";  // "realtime net data open fail!"
inline constexpr const char* kMaxConnectionsMsg =
    "IDS_STRING415";  // "Reach the maximum of connection!"
inline constexpr const char* kDownloadFailMsg =
    "IDS_STRING317";  // "Download recorded data fail, unkown error!"
inline constexpr const char* kSaveDownloaded = "IDS_STRING320";  // "Save downloaded files?"
inline constexpr const char* kDisksRefuseReading =
    "IDS_STRING418";  // "No permission to read these disks:" (the devices follow)
inline constexpr const char* kDiskAccessHint =
    "IDS_STRING419";  // "To read them, join the disk group (sudo usermod -aG disk $USER) ..."

// Screen recording: its log lines and its message.
inline constexpr const char* kOpenScreenCapture = "IDS_STRING402";   // "open screen capture."
inline constexpr const char* kCloseScreenCapture = "IDS_STRING403";  // "close screen capture."
inline constexpr const char* kScreenCaptureFail = "IDS_STRING404";   // "start screen capture fail."
inline constexpr const char* kRecordingFileFailed =
    "IDS_STRING363";  // "Creating recording file failed!"

}  // namespace velmora::session_text
