// The keyboard helpers against real key presses sent to the test window.
#include <gtest/gtest.h>
#include <allegro.h>

#include <chrono>
#include <string>
#include <thread>

#include "orj/gl/viewer/keys.h"
#include "tests/support/test_support.h"

using namespace orj;

static KeyTables tables;

// Polls fn until it returns want or about two seconds pass.
template <typename Fn>
static bool wait_until(Fn fn, int want)
{
    double deadline = now_seconds() + 2.0;
    while (now_seconds() < deadline) {
        if (fn() == want) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

static void xdotool(const std::string &args) { ASSERT_EQ(run_shell("xdotool " + args), 0) << args; }

class Keys : public testing::Test {
protected:
    static void SetUpTestSuite() { install_keys(&tables); }
    void SetUp() override { clear_keybuf(); }
};

TEST_F(Keys, ControlSlotFollowsItsKeyAndCanBeReassigned)
{
    auto slot4 = [] { return control_key_down(&tables, 4) != 0 ? 1 : 0; };
    xdotool("keydown a");
    EXPECT_TRUE(wait_until(slot4, 1)) << "slot 4 should follow A";
    xdotool("keyup a");
    EXPECT_TRUE(wait_until(slot4, 0));

    set_control_key(&tables, KEY_Q, 4);
    xdotool("keydown a");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(slot4(), 0) << "A no longer drives slot 4";
    xdotool("keyup a");
    xdotool("keydown q");
    EXPECT_TRUE(wait_until(slot4, 1)) << "slot 4 should follow Q";
    xdotool("keyup q");
    EXPECT_TRUE(wait_until(slot4, 0));
    set_control_key(&tables, KEY_A, 4);
}

TEST_F(Keys, ChoiceSlotsForDigits)
{
    auto slot21 = [] { return choice_key_down(&tables, 21) != 0 ? 1 : 0; };
    auto slot12 = [] { return choice_key_down(&tables, 12) != 0 ? 1 : 0; };
    xdotool("keydown 0");
    EXPECT_TRUE(wait_until(slot21, 1));
    EXPECT_EQ(slot12(), 0);
    xdotool("keyup 0");
    xdotool("keydown 1");
    EXPECT_TRUE(wait_until(slot12, 1));
    EXPECT_EQ(slot21(), 0);
    xdotool("keyup 1");
    EXPECT_TRUE(wait_until(slot12, 0));
}

TEST_F(Keys, HeldKeysByName)
{
    // Each name follows its own key and no other.
    const struct {
        Key key;
        const char *xdotool_name;
    } keys[] = {{Key::ESCAPE, "Escape"}, {Key::ENTER, "Return"}, {Key::SPACE, "space"}, {Key::LEFT, "Left"},
                {Key::RIGHT, "Right"},   {Key::UP, "Up"},        {Key::DOWN, "Down"}};
    for (const auto &held : keys) {
        xdotool(std::string("keydown ") + held.xdotool_name);
        EXPECT_TRUE(wait_until([&] { return key_held(held.key) ? 1 : 0; }, 1)) << held.xdotool_name;
        for (const auto &other : keys) {
            if (other.key != held.key) {
                EXPECT_FALSE(key_held(other.key)) << other.xdotool_name;
            }
        }
        xdotool(std::string("keyup ") + held.xdotool_name);
        EXPECT_TRUE(wait_until([&] { return key_held(held.key) ? 1 : 0; }, 0)) << held.xdotool_name;
    }
}

TEST_F(Keys, ReadKeyDoesNotWait)
{
    double start = now_seconds();
    EXPECT_EQ(read_key(), 0);
    EXPECT_LT(now_seconds() - start, 0.5);
}

TEST_F(Keys, TypedKeyMatchesItsCharacterAndIsConsumedEitherWay)
{
    auto waiting = [] {
        poll_keyboard();
        return keypressed() ? 1 : 0;
    };
    xdotool("key x");
    ASSERT_TRUE(wait_until(waiting, 1));
    EXPECT_EQ(key_typed('x'), 1);
    EXPECT_EQ(waiting(), 0);

    xdotool("key y");
    ASSERT_TRUE(wait_until(waiting, 1));
    EXPECT_EQ(key_typed('x'), 0);
    EXPECT_EQ(waiting(), 0) << "a key that does not match is consumed too";

    xdotool("key z");
    ASSERT_TRUE(wait_until(waiting, 1));
    EXPECT_EQ(read_key() & 0xff, 'z');
}
