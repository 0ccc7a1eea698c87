#include "platform/thread_priority.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace platform {

bool SetCurrentThreadIdlePriority() {
#ifdef _WIN32
  return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE) != 0;
#else
#ifdef SCHED_IDLE
  sched_param param{};
  param.sched_priority = 0;
  if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0) return true;
#endif
  // Fallback: the weakest nice value, which Linux applies to the one thread id.
  const pid_t tid = pid_t(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, id_t(tid), 19) == 0;
#endif
}

}  // namespace platform
