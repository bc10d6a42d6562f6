/* Preloaded into a program under test, this stops it with SIGKILL, as a crash or kill -9
 * would, just before its Nth file-system step: a rename, link or unlink in any of their forms
 * (N from SONGDECK_STOP_AT_STEP; 0 or unset counts without stopping). Programs it starts run
 * without the hook. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static long g_stopAt;
static atomic_long g_steps;

__attribute__((constructor)) static void ReadStopStep(void) {
    const char* text = getenv("SONGDECK_STOP_AT_STEP");
    g_stopAt = text != NULL ? strtol(text, NULL, 10) : 0;
    unsetenv("SONGDECK_STOP_AT_STEP");
    unsetenv("LD_PRELOAD");
}

static void Step(void) {
    if (g_stopAt > 0 && atomic_fetch_add(&g_steps, 1) + 1 == g_stopAt) {
        raise(SIGKILL);
    }
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

int rename(const char* from, const char* to) {
    Step();
    return NEXT(rename)(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    Step();
    return NEXT(renameat)(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    Step();
    return NEXT(renameat2)(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) {
    Step();
    return NEXT(link)(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    Step();
    return NEXT(linkat)(fromDir, from, toDir, to, flags);
}

int unlink(const char* path) {
    Step();
    return NEXT(unlink)(path);
}

int unlinkat(int dir, const char* path, int flags) {
    Step();
    return NEXT(unlinkat)(dir, path, flags);
}

int remove(const char* path) {
    Step();
    return NEXT(remove)(path);
}
