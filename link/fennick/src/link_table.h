// Every open link and listener by its id (the socket's descriptor). An entry leaves the table
// before its descriptor is closed, so a number the kernel hands out again never meets an old
// entry.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace fleet::fennick {

class Link;

// A link or a listener.
class Endpoint {
  public:
    virtual ~Endpoint() = default;
    virtual int id() const = 0;
    // Closes without a callback; no callback for it runs once this returns. Any thread; the
    // socket itself is closed on the io thread.
    virtual void close(bool on_io_thread) = 0;
    // On the way out, with the io thread ended.
    virtual void close_at_exit() { close(true); }
    virtual Link* as_link() { return nullptr; }
};

class LinkTable {
  public:
    void insert(std::shared_ptr<Endpoint> endpoint);
    std::shared_ptr<Endpoint> find(int id) const;
    std::shared_ptr<Link> find_link(int id) const;
    // Removes id only while it still names this endpoint.
    void erase(int id, const Endpoint* endpoint);
    std::vector<std::shared_ptr<Endpoint>> take_all();

  private:
    mutable std::mutex mutex_;
    std::unordered_map<int, std::shared_ptr<Endpoint>> entries_;
};

}  // namespace fleet::fennick
