// The operation log: one UTF-8 text file per local day ("YYYY-MM-DD.log") in the configured log
// directory, one line per reported operation. Plain C++, so every part of the viewer (worker and
// engine callback threads included) can write to it.
#pragma once

#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A log line never exceeds this many bytes, its line feed included.
inline constexpr std::size_t kMaxLogLineBytes = 319;
// The log manager shows this many days and deletes older day files.
inline constexpr std::size_t kLogDaysKept = 30;

// "%04d-%02d-%02d.log" of the given local date.
std::string log_file_name(const std::tm& local);

// "hh:mm:ss [Viewer]: <message>\n", cut to kMaxLogLineBytes on a UTF-8 character boundary; the
// line feed is always kept.
std::string format_log_line(const std::tm& local, std::string_view message);

// The local time now, portable and safe to call from any thread.
std::tm local_time_now();

class OperationLog {
  public:
    static OperationLog& instance();

    OperationLog() = default;
    OperationLog(const OperationLog&) = delete;
    OperationLog& operator=(const OperationLog&) = delete;

    // The configured log directory (UTF-8). Empty means the fallback directory.
    void set_directory(std::string utf8_dir);
    // Used while the configured directory is empty: the program folder, set by the main window.
    void set_fallback_directory(std::string utf8_dir);
    // The directory lines go to now: the configured one, else the fallback, else ".".
    std::string directory() const;

    // Appends one line stamped with the local time now to that day's file. The file is opened
    // and closed for every line so other programs can read or rotate it at any time. False when
    // the file cannot be written (the line is lost; callers carry on).
    bool write(std::string_view message);
    // The same with a given local time (tests, and callers that stamped the event earlier).
    bool write_at(std::string_view message, const std::tm& local);

  private:
    mutable std::mutex mutex_;  // writers run on several threads; one line is written whole
    std::string directory_;
    std::string fallback_directory_;
};

// The log manager's day list. Day files are named "YYYY-MM-DD.log" (14 characters, '-' at 4 and
// 7, ".log" in any case); they are sorted by name, which is date order, and all but the newest
// `keep` are deleted. Nothing else is ever deleted. The result holds the names without ".log":
// the kept days in ascending order, then any other ".log" files in name order (so a stray
// "notes.log" stays visible but never pushes a day out). An unreadable directory gives an
// empty list.
std::vector<std::string> prune_and_list_log_days(const std::string& dir,
                                                 std::size_t keep = kLogDaysKept);

// True for a listed name of a day file ("YYYY-MM-DD" shape: 10 characters, '-' at 4 and 7).
bool is_log_day_name(std::string_view listed_name);

// The lines of <dir>/<day>.log without their line ends (LF or CRLF). Lines are returned whole
// whatever their length: the writer never produces more than kMaxLogLineBytes, and a longer line
// written by something else is better shown intact than split into pieces that look like lines.
// A missing or unreadable file, or a day name holding a path separator, gives an empty list.
std::vector<std::string> read_log_lines(const std::string& dir, const std::string& day);

}  // namespace velmora
