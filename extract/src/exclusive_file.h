// Outputs are created, never overwritten: evidence already exported under a name stays as it
// is. The file made here stays open and every byte goes through its descriptor, so a name
// swapped for a link between creating and writing cannot redirect the output.
#pragma once

#include <string>

extern "C" {
struct AVIOContext;
}

namespace ombrel {

class ExclusiveFile {
  public:
    ExclusiveFile() = default;
    ~ExclusiveFile();  // closes, keeps the file
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Creates an empty file at `path` only when nothing is there (O_EXCL, no link followed);
    // false otherwise, with the system's reason in `error`.
    bool create(const std::string& path, std::string& error);
    // A writing, seeking libavformat context over the descriptor, for a muxer's pb; owned
    // here. Null when the file is not open or memory runs out.
    AVIOContext* io();
    // A URL that opens this very file again through its descriptor, not its name, for a
    // muxer that reads back what it wrote (MP4 moving its index ahead).
    std::string descriptor_url() const;
    // Flushes and closes; false, with the reason, when a write or the close failed.
    bool close(std::string& error);
    // Closes and removes the file made here.
    void remove();

  private:
    void free_io();
    int close_descriptor();  // 0, or the errno of a failed close

    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    AVIOContext* io_ = nullptr;
};

}  // namespace ombrel
