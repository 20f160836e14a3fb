#include "orj/core/base/signals.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace orj {

static const int ENDING_SIGNALS[] = {SIGINT, SIGTERM};

static volatile sig_atomic_t noted_signal = 0;
static volatile sig_atomic_t note_first = 0;

// A slot is read by the handlers only while READY: its path is complete then.
enum {
    SLOT_FREE,
    SLOT_BUSY,
    SLOT_READY
};
static std::atomic<int> slot_states[TEMPORARY_FILE_SLOTS];
static char slot_paths[TEMPORARY_FILE_SLOTS][TEMPORARY_PATH_SIZE];

static void remove_temporary_files()
{
    for (int i = 0; i < TEMPORARY_FILE_SLOTS; i++) {
        if (slot_states[i].load() != SLOT_READY) continue;
#ifdef _WIN32
        _unlink(slot_paths[i]);
#else
        unlink(slot_paths[i]);
#endif
    }
}

#ifdef _WIN32

// The Windows C library runs the handler on a thread of its own and puts the
// default action back before calling it.
static void on_signal(int signal_number)
{
    signal(signal_number, on_signal);
    if (note_first && noted_signal == 0) {
        noted_signal = signal_number;
        return;
    }
    remove_temporary_files();
    _exit(128 + signal_number);
}

void install_signal_ending(SignalEnding mode)
{
    note_first = mode == SIGNALS_NOTE_FIRST;
    for (int signal_number : ENDING_SIGNALS) signal(signal_number, on_signal);
}

void hold_ending_signals() {}
void resume_ending_signals() {}

#else

static void set_default_action(int signal_number)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

static void on_signal(int signal_number)
{
    if (note_first && noted_signal == 0) {
        noted_signal = signal_number;
        return;
    }
    remove_temporary_files();
    set_default_action(signal_number);
    // The signal is blocked while its handler runs: it is delivered again,
    // with the default action, as soon as the handler returns.
    raise(signal_number);
}

void install_signal_ending(SignalEnding mode)
{
    note_first = mode == SIGNALS_NOTE_FIRST;
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int signal_number : ENDING_SIGNALS) sigaddset(&action.sa_mask, signal_number);
    // Calls the libraries were making when the signal came go on as if nothing happened.
    action.sa_flags = SA_RESTART;
    for (int signal_number : ENDING_SIGNALS) sigaction(signal_number, &action, nullptr);
}

static thread_local sigset_t held_mask_before;

void hold_ending_signals()
{
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal_number : ENDING_SIGNALS) sigaddset(&ending, signal_number);
    pthread_sigmask(SIG_BLOCK, &ending, &held_mask_before);
}

void resume_ending_signals() { pthread_sigmask(SIG_SETMASK, &held_mask_before, nullptr); }

#endif

int signal_ending_received() { return noted_signal; }

void end_with_signal(int signal_number)
{
    fflush(stdout);
    fflush(stderr);
    remove_temporary_files();
#ifndef _WIN32
    set_default_action(signal_number);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
#endif
    _exit(128 + signal_number);
}

int register_temporary_file(const char *path)
{
    if (!path || strlen(path) >= TEMPORARY_PATH_SIZE) return -1;
    for (int i = 0; i < TEMPORARY_FILE_SLOTS; i++) {
        int expected = SLOT_FREE;
        if (!slot_states[i].compare_exchange_strong(expected, SLOT_BUSY)) continue;
        strcpy(slot_paths[i], path);
        slot_states[i].store(SLOT_READY);
        return i;
    }
    return -1;
}

void forget_temporary_file(int slot)
{
    if (slot < 0 || slot >= TEMPORARY_FILE_SLOTS) return;
    slot_states[slot].store(SLOT_BUSY);
    slot_paths[slot][0] = '\0';
    slot_states[slot].store(SLOT_FREE);
}

}  // namespace orj
