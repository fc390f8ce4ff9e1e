// The library's state: the io thread and the table of links and listeners. Made on first use;
// destroyed when the library is unloaded or the process ends, which closes every socket
// without callbacks and joins the thread.
#pragma once

#include "io_thread.h"
#include "link_table.h"

namespace fleet::fennick {

class Runtime {
  public:
    Runtime() = default;
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    IoThread io;
    LinkTable table;
};

Runtime& runtime();

}  // namespace fleet::fennick
