// The library's state: the io thread and the table of links and listeners. One object at
// namespace scope, made when the library is loaded, so it is destroyed after the statics of
// every library and program that uses it (they are made later); its destructor closes every
// socket without callbacks and ends the thread.
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

// Null once the state has been destroyed (a host's late static calling in at exit).
Runtime* runtime();

}  // namespace fleet::fennick
