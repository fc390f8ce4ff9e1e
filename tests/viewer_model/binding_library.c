/* A library with the engine's entry point names and nothing behind them, for the binding
 * tests. BINDING_LIBRARY_WITHOUT_LAST leaves out the last name. */
#define ENTRY(name)      \
    int name(void);      \
    int name(void) {     \
        return __LINE__; \
    }

ENTRY(KivraInfo)
ENTRY(zInit)
ENTRY(zRelease)
ENTRY(zOpen)
ENTRY(zOpenEx)
ENTRY(zOpenRx)
ENTRY(zDownload)
ENTRY(zStopDownload)
ENTRY(zTellOpenedType)
ENTRY(zTellStatusType)
ENTRY(zPlayMSG)
ENTRY(zTellScreenNum)
ENTRY(zTellSampleRate)
ENTRY(zTellSampleBits)
ENTRY(zTellFullScreenIdx)
ENTRY(zSetFullScreen)
ENTRY(zTellDivStatus)
ENTRY(zSetDivStatus)
ENTRY(zTellCarId)
ENTRY(zOpenVoice)
ENTRY(zCloseVoice)
ENTRY(zSetVoiceVolume)
ENTRY(zTellVoiceVolume)
ENTRY(zTellp)
ENTRY(zTellTotalLen)
ENTRY(zTellBegTime)
ENTRY(zTellEndTime)
ENTRY(zStartExtract)
ENTRY(zStopExtract)
ENTRY(zTellTimeInxHd)
ENTRY(zTellTimeInxUnit)
ENTRY(zTellEvtInxHd)
ENTRY(zTellEvtInxUnit)
ENTRY(zTellQuickInxHd)
ENTRY(zTellQuickInxUnit)
#ifndef BINDING_LIBRARY_WITHOUT_LAST
ENTRY(zSetRecord)
#endif
