#include "orj/gl/viewer/keys.h"

#include <allegro.h>

namespace orj {

void install_keys(KeyTables *keys)
{
    static const int control_codes[CONTROL_KEY_SLOTS] = {
        KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_A, KEY_S, KEY_D, KEY_F, KEY_Z, KEY_X, KEY_C, KEY_V,
    };
    install_keyboard();
    for (int slot = 0; slot < CONTROL_KEY_SLOTS; slot++) keys->control_keys[slot] = &key[control_codes[slot]];
    for (int slot = 0; slot < 12; slot++) keys->choice_keys[slot] = &key[KEY_F1 + slot];
    for (int slot = 12; slot < 21; slot++) keys->choice_keys[slot] = &key[KEY_1 + (slot - 12)];
    keys->choice_keys[21] = &key[KEY_0];
}

int control_key_down(const KeyTables *keys, int slot)
{
    poll_keyboard();
    return (signed char)*keys->control_keys[slot];
}

int choice_key_down(const KeyTables *keys, int slot)
{
    poll_keyboard();
    return (signed char)*keys->choice_keys[slot];
}

void set_control_key(KeyTables *keys, int code, int slot) { keys->control_keys[slot] = &key[code]; }

int key_typed(char c)
{
    poll_keyboard();
    if (!keypressed()) return 0;
    // readkey carries the scancode in its high byte: compare the character alone.
    return (readkey() & 0xff) == (unsigned char)c ? 1 : 0;
}

int read_key()
{
    poll_keyboard();
    return keypressed() ? readkey() : 0;
}

void remove_keys() { remove_keyboard(); }

bool key_held(Key which)
{
    static const int codes[] = {KEY_ESC, KEY_ENTER, KEY_SPACE, KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN};
    poll_keyboard();
    return key[codes[(int)which]] != 0;
}

}  // namespace orj
