#pragma once

#include <pthread.h>

#include <cstddef>

namespace TestSupport {

// While it exists, threads created with default attributes ask for a stack larger
// than the address space, so that their creation fails.
class ThreadsCannotStart {
  public:
    ThreadsCannotStart() {
        pthread_getattr_default_np(&mOriginal);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, std::size_t{1} << 46);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~ThreadsCannotStart() {
        pthread_setattr_default_np(&mOriginal);
        pthread_attr_destroy(&mOriginal);
    }
    ThreadsCannotStart(const ThreadsCannotStart&) = delete;
    ThreadsCannotStart& operator=(const ThreadsCannotStart&) = delete;

  private:
    pthread_attr_t mOriginal;
};

}  // namespace TestSupport
