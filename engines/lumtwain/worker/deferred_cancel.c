/* Keeps every thread of the process on deferred cancellation.
 *
 * SANE backends start their reader threads through sanei_thread, which switches each one to
 * PTHREAD_CANCEL_ASYNCHRONOUS and pthread_cancel()s it when a pass ends. The test backend
 * does so from the sane_read that delivers the last bytes, while its reader thread is still
 * freeing its buffer: a thread cancelled inside free() keeps the malloc arena's lock, hangs
 * in its own exit (tcache shutdown frees into that arena), and the pthread_join in sane_read
 * waits for it for ever. With deferred cancellation the reader thread is cancelled only at a
 * cancellation point (its write, sleep or exit), never inside malloc or free.
 *
 * The program exports this definition (see CMakeLists.txt), so backends loaded with dlopen
 * bind to it instead of the C library's. Threads start deferred and none can leave that. */
#include <errno.h>
#include <pthread.h>

int pthread_setcanceltype(int type, int* oldtype) {
    if (type != PTHREAD_CANCEL_DEFERRED && type != PTHREAD_CANCEL_ASYNCHRONOUS) return EINVAL;
    if (oldtype) *oldtype = PTHREAD_CANCEL_DEFERRED;
    return 0;
}
