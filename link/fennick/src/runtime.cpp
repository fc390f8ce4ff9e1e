#include "runtime.h"

namespace fleet::fennick {

Runtime::~Runtime() {
    io.run_and_wait([this] {
        for (const auto& endpoint : table.take_all()) endpoint->close_now();
    });
    io.stop();
}

Runtime& runtime() {
    static Runtime instance;
    return instance;
}

}  // namespace fleet::fennick
