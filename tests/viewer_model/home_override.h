// Points $HOME somewhere else for one test, so the "~/DVR" defaults land in a temporary folder.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class HomeOverride {
  public:
    explicit HomeOverride(const std::string& home) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~HomeOverride() {
        if (old_) {
            setenv("HOME", old_->c_str(), 1);
        } else {
            unsetenv("HOME");
        }
    }
    HomeOverride(const HomeOverride&) = delete;
    HomeOverride& operator=(const HomeOverride&) = delete;

  private:
    std::optional<std::string> old_;
};
