// Keyboard helpers: reassignable control keys, choice keys and typed keys.
#pragma once

enum {
    CONTROL_KEY_SLOTS = 12,
    CHOICE_KEY_SLOTS = 22,
};

// Entries of Allegro's key[] table that each slot follows.
extern volatile char *control_keys[CONTROL_KEY_SLOTS];
extern volatile char *choice_keys[CHOICE_KEY_SLOTS];

// Installs the keyboard (if needed) and fills both tables.
void install_keys();
// Nonzero while the key of the slot is held (polls the keyboard first).
int control_key_down(int slot);
int choice_key_down(int slot);
// Control slot now follows key[code].
void set_control_key(int code, int slot);
// Takes the next waiting key: 1 when its character (low byte) is c, else 0.
int key_typed(char c);
// The next waiting key as readkey returns it, or 0 at once when none waits.
int read_key();
void remove_keys();
