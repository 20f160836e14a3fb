// Keyboard helpers: reassignable control keys, choice keys and typed keys.
#pragma once

namespace orj {

enum {
    CONTROL_KEY_SLOTS = 12,
    CHOICE_KEY_SLOTS = 22,
};

// The entries of Allegro's key[] table that each slot follows (addresses,
// so a lookup sees the key's state at that moment). The caller owns it.
struct KeyTables {
    volatile char *control_keys[CONTROL_KEY_SLOTS];  // arrows, A S D F, Z X C V
    volatile char *choice_keys[CHOICE_KEY_SLOTS];    // F1 to F12, 1 to 9, 0
};

// Installs the keyboard (if needed) and fills both tables.
void install_keys(KeyTables *keys);
// Nonzero while the key of the slot is held (polls the keyboard first).
int control_key_down(const KeyTables *keys, int slot);
int choice_key_down(const KeyTables *keys, int slot);
// Control slot now follows key[code].
void set_control_key(KeyTables *keys, int code, int slot);
// Takes the next waiting key: 1 when its character (low byte) is c, else 0.
int key_typed(char c);
// The next waiting key as readkey returns it, or 0 at once when none waits.
int read_key();
void remove_keys();

}  // namespace orj
