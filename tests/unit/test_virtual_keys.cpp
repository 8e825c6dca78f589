#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "hook/VirtualKeys.h"

// Every key that can carry a name in a hotkey maps to a keysym and back to itself.
TEST(VirtualKeys, NamedKeysRoundTrip) {
    std::vector<unsigned> named = {44, 8,  9,  13, 27, 32,  35,  36,  37,
                                   38, 39, 40, 45, 46, 106, 107, 109, 111};
    for (unsigned vk = 96; vk <= 105; ++vk) named.push_back(vk);
    for (unsigned vk = 112; vk <= 123; ++vk) named.push_back(vk);
    for (unsigned vk = 48; vk <= 57; ++vk) named.push_back(vk);
    for (unsigned vk = 65; vk <= 90; ++vk) named.push_back(vk);
    for (unsigned vk : named) {
        const unsigned long sym = OrvKeysymFromVirtualKey(vk);
        ASSERT_NE(sym, 0ul) << vk;
        EXPECT_EQ(OrvVirtualKeyFromKeysym(sym), vk) << vk;
    }
}

TEST(VirtualKeys, KeysymsOfOneKeyShareTheCode) {
    EXPECT_EQ(OrvVirtualKeyFromKeysym(XK_a), 0x41u);
    EXPECT_EQ(OrvVirtualKeyFromKeysym(XK_A), 0x41u);
    EXPECT_EQ(OrvVirtualKeyFromKeysym(XK_Sys_Req), 0x2Cu); // Alt+Print on many keymaps
    EXPECT_EQ(OrvVirtualKeyFromKeysym(XK_KP_Decimal), 110u);
    EXPECT_EQ(OrvVirtualKeyFromKeysym(XK_KP_Delete), 46u);
    EXPECT_EQ(OrvVirtualKeyFromKeysym(XK_Control_R), 17u);
    EXPECT_EQ(OrvVirtualKeyFromKeysym(XK_VoidSymbol), 0u);
    EXPECT_EQ(OrvKeysymFromVirtualKey(0), 0ul);
}
