/// @file
/// How SIGINT and SIGTERM end the engine's programs: never inside a library
/// that is busy (drawing, writing), never leaving temporary files behind, and
/// with the status a shell expects of a program ended by that signal (128 + N).
///
/// The handlers only note the signal, remove the registered temporary files
/// and raise the signal again: they call nothing that is unsafe in a handler.
/// That state is process-wide by nature (a handler has no caller to hand it).
#pragma once

namespace orj {

/// What the first SIGINT or SIGTERM does.
enum SignalEnding {
    /// The program ends at once: its temporary files are removed and the
    /// signal is raised again with its default action. For tools that have no
    /// loop to look at a flag.
    SIGNALS_END_AT_ONCE,
    /// The first signal is only noted (signal_ending_received): a frame loop
    /// looks at it, ends as its own end key would, writes its report and then
    /// calls end_with_signal. A second signal ends the program at once, as
    /// SIGNALS_END_AT_ONCE does.
    SIGNALS_NOTE_FIRST,
};

/// Takes over SIGINT and SIGTERM. A window program calls it before starting
/// Allegro (start_allegro keeps these handlers over Allegro's own).
void install_signal_ending(SignalEnding mode);

/// The signal noted under SIGNALS_NOTE_FIRST (SIGINT or SIGTERM), or 0.
int signal_ending_received();

/// Flushes standard output and error and ends the process as signal_number
/// would have with its default action: exit status 128 + signal_number. Call
/// it once the report and outputs are written.
[[noreturn]] void end_with_signal(int signal_number);

/// Room for temporary files that a signal's ending removes.
enum {
    TEMPORARY_FILE_SLOTS = 32,   ///< files registered at once
    TEMPORARY_PATH_SIZE = 4096,  ///< bytes of a path, its final 0 included
};

/// A temporary file that a signal's ending must remove: its path is kept in a
/// fixed table the handlers can read. Returns the slot, or -1 when the path is
/// longer than TEMPORARY_PATH_SIZE - 1 or all TEMPORARY_FILE_SLOTS are taken
/// (the file then stays behind if a signal ends the program).
int register_temporary_file(const char *path);
/// The file is gone or has its final name: forgets the slot (-1 is ignored).
void forget_temporary_file(int slot);

/// Holds SIGINT and SIGTERM back from the calling thread until
/// resume_ending_signals, so that creating a temporary file and registering
/// it happen as one step. Not nested.
void hold_ending_signals();
/// Lets SIGINT and SIGTERM reach the calling thread again, as before
/// hold_ending_signals; one held back meanwhile arrives now.
void resume_ending_signals();

}  // namespace orj
