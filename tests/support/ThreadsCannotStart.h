#pragma once

#include <pthread.h>

#include <cstddef>

namespace TestSupport {

// While it exists, threads created with default attributes ask for a stack guard larger
// than the address space, so that their creation fails (EAGAIN). The guard, not the stack:
// System::Threading::Thread sizes its threads' stacks itself.
class ThreadsCannotStart {
  public:
    ThreadsCannotStart() {
        pthread_getattr_default_np(&mOriginal);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setguardsize(&huge, std::size_t{1} << 47);
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
