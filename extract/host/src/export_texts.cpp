// The English texts of the export's refusals and ends; the viewer shows its language table's
// texts for the same values.
#include "export_host/export_session.h"

namespace fleet::export_host {

const char* english_text(ExportRefusal refusal) {
    switch (refusal) {
        case ExportRefusal::NothingOpened:
            return "Nothing is opened!";
        case ExportRefusal::SourceNotSupported:
            return "The source data type is not supported!";
        case ExportRefusal::NoTimeIndex:
            return "Can't get time index date!";
        case ExportRefusal::IllegalTime:
            return "Illegal time selected!";
        case ExportRefusal::NothingSelected:
            return "No target file is selected!";
        case ExportRefusal::DirectoryNotCreated:
            return "The target directory is not existed, try to create fail!";
        case ExportRefusal::DirectoryTooLong:
            return "The target directory is too long!";
        case ExportRefusal::NoChannelCount:
            return "Can not get channel number, extract fail!";
        case ExportRefusal::IndexUnitsUnreadable:
            return "Start extract fail, please check the index data source!";
        case ExportRefusal::EngineRefused:
            return "Start extract fail, please check the gop data source!";
        case ExportRefusal::AlreadyRunning:
            return "An extraction is running!";
    }
    return "";
}

const char* english_text(ExportEnd end) {
    switch (end) {
        case ExportEnd::OpenFailed:
            return "Extracting open fail!";
        case ExportEnd::Completed:
            return "Extracting completed!";
        case ExportEnd::Failed:
            return "Extracting error!";
        case ExportEnd::Stopped:
            return "Stop extracting by user!";
    }
    return "";
}

}  // namespace fleet::export_host
