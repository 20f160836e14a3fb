/// @file
/// The one place that shows messages to the user.
#pragma once

/// Name of the environment variable that sends messages to standard error
/// instead of Allegro's message box (which waits for a click).
#define MESSAGE_ENV_VAR "ORJ_MESSAGES"

namespace orj {

/// printf-style. Shows the text with allegro_message, or writes it to standard
/// error (with a newline) when ORJ_MESSAGES is "stderr".
void show_message(const char *format, ...) __attribute__((format(printf, 1, 2)));

/// True when messages go to standard error.
bool messages_to_stderr();

}  // namespace orj
