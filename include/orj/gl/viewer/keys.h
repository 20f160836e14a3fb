/// @file
/// Keyboard helpers: reassignable control keys, choice keys and typed keys.
#pragma once

namespace orj {

/// The tables' sizes.
enum {
    CONTROL_KEY_SLOTS = 12,  ///< entries of KeyTables::control_keys
    CHOICE_KEY_SLOTS = 22,   ///< entries of KeyTables::choice_keys
};

/// The entries of Allegro's key[] table that each slot follows (addresses,
/// so a lookup sees the key's state at that moment). The caller owns it.
struct KeyTables {
    volatile char *control_keys[CONTROL_KEY_SLOTS];  ///< arrows, A S D F, Z X C V
    volatile char *choice_keys[CHOICE_KEY_SLOTS];    ///< F1 to F12, 1 to 9, 0
};

/// Installs the keyboard (if needed) and fills both tables.
void install_keys(KeyTables *keys);
/// Nonzero while the key of the control slot is held (polls the keyboard first).
int control_key_down(const KeyTables *keys, int slot);
/// Nonzero while the key of the choice slot is held (polls the keyboard first).
int choice_key_down(const KeyTables *keys, int slot);
/// Control slot now follows key[code].
void set_control_key(KeyTables *keys, int code, int slot);
/// Takes the next waiting key: 1 when its character (low byte) is c, else 0.
int key_typed(char c);
/// The next waiting key as readkey returns it, or 0 at once when none waits.
int read_key();
/// Removes the keyboard that install_keys installed; the tables then follow nothing.
void remove_keys();

/// Keys a program asks about with key_held, named without Allegro's headers.
enum class Key {
    ESCAPE,  ///< Esc
    ENTER,   ///< Enter (Return)
    SPACE,   ///< the space bar
    LEFT,    ///< the left arrow
    RIGHT,   ///< the right arrow
    UP,      ///< the up arrow
    DOWN,    ///< the down arrow
};

/// True while key is held down (polls the keyboard first). Needs the keyboard
/// that init_display installs.
bool key_held(Key key);

}  // namespace orj
